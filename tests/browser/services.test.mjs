// The page's own services in headless Chromium against the real server:
// console forwarding, tooltips, the about popover, toasts, escaping, a
// server that goes away and comes back, and the page under a path prefix.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import {
  api, launchBrowser, markRows, openPage, row, rowsMarked, sleep, startPrefixProxy, startServer, waitForToast,
} from './harness.mjs';

const RP2040 = 'laptop:2e8a:0003';
const CP2102 = 'laptop:10c4:ea60';
const CH340 = 'workcell-rpi-001:1a86:7523';

async function consoleMessages(server) {
  return (await api(server.base, 'GET', 'console')).body.messages;
}

// Waits for `count` console messages, then a little longer so that any
// message that should not have come would have.
async function waitForConsole(server, count) {
  const deadline = Date.now() + 5000;
  while ((await consoleMessages(server)).length < count && Date.now() < deadline) await sleep(50);
  await sleep(300);
  return consoleMessages(server);
}

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

function tipState(page) {
  return page.evaluate(() => {
    const tip = document.getElementById('tip');
    const r = tip.getBoundingClientRect();
    return { shown: tip.classList.contains('show'), text: tip.textContent, left: r.left, top: r.top,
      right: r.right, bottom: r.bottom };
  });
}

async function centre(locator) {
  const b = await locator.boundingBox();
  return { x: b.x + b.width / 2, y: b.y + b.height / 2, box: b };
}

describe('console forwarding', () => {
  let server;
  before(async () => { server = await startServer({ demo: true }); });
  after(async () => { await server?.stop(); });

  it('forwards log, warn, error and uncaught failures, and nothing else', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      assert.deepEqual(await consoleMessages(server), [], 'the page itself writes nothing');
      const before = Date.now();
      await page.evaluate(() => {
        console.log('hello', 42, { a: [1, 2] }, null, undefined, true);
        console.warn('careful');
        console.error(new Error('boom'));
        console.info('info is not forwarded');
        console.debug('nor is debug');
        const loop = { name: 'loop' };
        loop.self = loop;
        console.log('circular', loop);
        // Thrown by a script of the page itself, as a bug of ours would be.
        const script = document.createElement('script');
        script.textContent = 'setTimeout(function () { throw new Error("kaboom"); }, 0);';
        document.body.appendChild(script);
        Promise.reject(new Error('nope'));
        Promise.reject('plain reason');
      });
      const messages = await waitForConsole(server, 6);
      const seen = messages.map((m) => `${m.level}|${m.msg.split('\n')[0]}`).sort();

      const kaboom = messages.find((m) => m.msg.includes('kaboom'));
      assert.ok(kaboom, 'uncaught error forwarded');
      // "{message} @ {script}:{line} {stack}"; an inline script has no address.
      assert.match(kaboom.msg, /^Uncaught Error: kaboom @ \S*:\d+ Error: kaboom\n\s+at /);

      assert.deepEqual(seen, [
        'error|unhandledrejection Error: nope',
        'error|unhandledrejection plain reason',
        `error|${kaboom.msg.split('\n')[0]}`,
        'error|{}',
        'log|hello 42 {"a":[1,2]} null undefined true',
        'warn|careful',
      ].sort());
      for (const m of messages) {
        assert.deepEqual(Object.keys(m).sort(), ['level', 'msg', 'ts']);
        assert.ok(m.ts >= before - 60000 && m.ts <= Date.now() + 60000, `ts ${m.ts}`);
      }
      // The browser's own console still gets everything.
      const seenLocally = [];
      page.on('console', (m) => seenLocally.push(m.text()));
      await page.evaluate(() => console.warn('still local'));
      await sleep(100);
      assert.ok(seenLocally.includes('still local'));
    } finally {
      await context.close();
    }
  });
});

describe('tooltips, popover and toasts', () => {
  let server;
  before(async () => { server = await startServer({ demo: true }); });
  after(async () => { await server?.stop(); });

  // A page whose timers only move when the test moves them.
  async function pausedPage(opts = {}) {
    const opened = await openPage(browser, server.base + '/', { clock: true, ...opts });
    const now = await opened.page.evaluate(() => Date.now());
    await opened.page.clock.pauseAt(now + 1000);
    return opened;
  }

  it('shows a tooltip after 500 ms, restarts the wait on the icon and hides on leaving', async () => {
    const { context, page } = await pausedPage();
    try {
      const btn = await centre(page.locator('#refresh'));
      await page.mouse.move(btn.box.x + 4, btn.y);
      await page.clock.runFor(499);
      assert.equal((await tipState(page)).shown, false);
      await page.clock.runFor(1);
      let tip = await tipState(page);
      assert.equal(tip.shown, true);
      assert.equal(tip.text, 'Re-enumerate USB devices across every host and refresh the table.');

      // Onto the icon inside the same button: hidden, and a new wait.
      const icon = await centre(page.locator('#refresh svg'));
      await page.mouse.move(icon.x, icon.y);
      assert.equal((await tipState(page)).shown, false);
      await page.clock.runFor(499);
      assert.equal((await tipState(page)).shown, false);
      await page.clock.runFor(1);
      assert.equal((await tipState(page)).shown, true);

      await page.mouse.move(640, 700);
      assert.equal((await tipState(page)).shown, false);
      // Leaving before the delay cancels the show.
      await page.mouse.move(btn.x, btn.y);
      await page.clock.runFor(300);
      await page.mouse.move(640, 700);
      await page.clock.runFor(1000);
      assert.equal((await tipState(page)).shown, false);
    } finally {
      await context.close();
    }
  });

  it('places the tooltip inside the window, below its element or else above it', async () => {
    const cases = [
      // The refresh button sits at the right edge: the tooltip is pulled in.
      { name: 'right edge', sel: '#refresh', height: 800, below: true, rightClamp: true },
      // A window that ends just below the chip: no room below, so above.
      { name: 'bottom edge', sel: '#filters .chip[data-f="all"]', height: 130, below: false, rightClamp: false },
    ];
    for (const c of cases) {
      const { context, page } = await pausedPage({ height: c.height });
      try {
        const el = await centre(page.locator(c.sel));
        await page.mouse.move(el.x, el.y);
        await page.clock.runFor(500);
        const tip = await tipState(page);
        const vw = await page.evaluate(() => document.documentElement.clientWidth);
        assert.equal(tip.shown, true, c.name);
        if (c.below) assert.ok(Math.abs(tip.top - (el.box.y + el.box.height + 8)) < 1, `${c.name}: below`);
        else assert.ok(Math.abs(tip.bottom - (el.box.y - 8)) < 1 || tip.top === 8, `${c.name}: above`);
        if (c.rightClamp) assert.ok(Math.abs(tip.right - (vw - 8)) < 1, `${c.name}: ${tip.right} vs ${vw}`);
        else assert.ok(Math.abs(tip.left - el.box.x) < 1, `${c.name}: starts at its element`);
        assert.ok(tip.left >= 8 && tip.top >= 8, c.name);
      } finally {
        await context.close();
      }
    }
  });

  it('explains a disabled control and hides the tooltip when the log box scrolls', async () => {
    // Enough actions to make the log box scroll.
    for (let i = 0; i < 12; i++) {
      assert.equal((await api(server.base, 'POST', 'reset', { device_id: CH340 })).status, 200);
    }
    const { context, page } = await pausedPage();
    try {
      await page.click('#logsummary');
      const reset = await centre(row(page, RP2040).locator('button[data-op="reset"]'));
      await page.mouse.move(reset.x, reset.y);
      await page.clock.runFor(500);
      const tip = await tipState(page);
      assert.deepEqual({ shown: tip.shown, text: tip.text },
        { shown: true, text: 'Mount to a Linux target to reset / test / force-class / sniff.' });

      const scrolled = await page.evaluate(() => {
        const box = document.getElementById('logbox');
        box.scrollTop = 40;
        return box.scrollTop > 0;
      });
      assert.ok(scrolled, 'log box scrolls');
      await page.waitForFunction(() => !document.getElementById('tip').classList.contains('show'));
    } finally {
      await context.close();
    }
  });

  it('opens the about popover on a resting pointer or a click, with a grace to reach it', async () => {
    const { context, page } = await pausedPage();
    try {
      const isOpen = () => page.$eval('#app-info', (p) => p.classList.contains('show'));
      const brand = await centre(page.locator('.brand'));

      // Keyboard focus alone does not open it.
      await page.focus('.brand');
      await page.clock.runFor(1000);
      assert.equal(await isOpen(), false, 'focus');

      await page.mouse.move(brand.x, brand.y);
      await page.clock.runFor(599);
      assert.equal(await isOpen(), false, 'before 600 ms');
      await page.clock.runFor(1);
      assert.equal(await isOpen(), true, 'at 600 ms');

      // Across the gap into the popover: it stays open.
      const pop = await page.locator('#app-info').boundingBox();
      await page.mouse.move(brand.x, pop.y + 20, { steps: 4 });
      await page.clock.runFor(500);
      assert.equal(await isOpen(), true, 'inside the popover');
      const text = await page.$eval('#app-info', (p) => p.innerText);
      assert.match(text, /tavrix-usb/);
      assert.match(text, /v0\.1\.0/);
      // The links go nowhere outside: there is no address of ours for them.
      assert.deepEqual(await page.$$eval('#app-info a', (as) => as.map((a) => [a.textContent, a.hasAttribute('href')])),
        [['Open wiki ↗', false], ['GitHub ↗', false]]);

      // Out of it: closed after the 220 ms grace.
      await page.mouse.move(640, 700);
      await page.clock.runFor(219);
      assert.equal(await isOpen(), true, 'within the grace');
      await page.clock.runFor(1);
      assert.equal(await isOpen(), false, 'after the grace');

      // A click toggles at once and cancels the pending open.
      await page.mouse.click(brand.x, brand.y);
      assert.equal(await isOpen(), true, 'first click');
      await page.mouse.click(brand.x, brand.y);
      assert.equal(await isOpen(), false, 'second click');
      await page.clock.runFor(1000);
      assert.equal(await isOpen(), false, 'the hover does not reopen it');
    } finally {
      await context.close();
    }
  });

  it('replaces a visible toast and shows the new one for the full time', async () => {
    const { context, page } = await pausedPage();
    try {
      const state = () => page.$eval('#toast', (t) => ({ show: t.classList.contains('show'), err: t.classList.contains('err'), text: t.textContent }));
      await page.evaluate(() => toast('first', true));
      await page.clock.runFor(2000);
      await page.evaluate(() => toast('second'));
      assert.deepEqual(await state(), { show: true, err: false, text: 'second' });
      await page.clock.runFor(2599);
      assert.equal((await state()).show, true);
      await page.clock.runFor(1);
      assert.equal((await state()).show, false);
    } finally {
      await context.close();
    }
  });
});

describe('snapshot text in markup', () => {
  let server;
  before(async () => { server = await startServer({ demo: true }); });
  after(async () => { await server?.stop(); });

  it('is shown as text, never run as markup, and ids go back unchanged', async () => {
    // A real snapshot with hostile text in every member the page draws.
    const snap = (await api(server.base, 'GET', 'state')).body;
    const evil = '<img src=x onerror="window.__pwned=1">"\'&amp;';
    const dev = snap.devices.find((d) => d.id === RP2040);
    const id = `laptop:"x'<b>&`;
    Object.assign(dev, {
      id, name: evil, class: evil, serial: evil, bus_id: evil, source_label: evil, location: 'local',
      vid_hex: '<i>2E8A</i>', pid_hex: '"',
    });
    dev.targets[1].label = evil;
    snap.hosts.find((h) => h.id === 'laptop-wsl2').label = evil;
    snap.devices.find((d) => d.id === 'laptop:0483:374b').mounted_on = 'laptop-wsl2';
    snap.actions = [{ op: '<u>mount</u>', command: 'echo "<script>window.__pwned=2</script>"' }];

    const context = await browser.newContext();
    try {
      const page = await context.newPage();
      await page.route('**/state', (route) => route.fulfill({ json: snap }));
      let mountBody = null;
      await page.route('**/mount', (route) => {
        mountBody = route.request().postData();
        return route.fulfill({ status: 404, json: { error: `unknown device: ${evil}` } });
      });
      await page.goto(server.base + '/');
      await page.waitForSelector('#rows .dev-name');

      const found = await page.evaluate(() => ({
        injected: document.querySelectorAll('#rows img, #rows b, #rows i, #logbox u, #logbox script').length,
        pwned: window.__pwned ?? null,
        name: document.querySelector('#rows .dev-name').textContent,
        op: document.querySelector('#logbox .logop').textContent,
        cmd: document.querySelector('#logbox .logcmd').textContent,
        mountedTip: document.querySelectorAll('#rows .badge.mounted')[0].getAttribute('data-tooltip'),
      }));
      assert.deepEqual(found, {
        injected: 0,
        pwned: null,
        name: evil,
        op: '<u>mount</u>',
        cmd: 'echo "<script>window.__pwned=2</script>"',
        mountedTip: `Currently attached to ${evil}.`,
      });

      // The row's controls carry the id exactly as the snapshot has it.
      const r = page.locator('#rows tr').first();
      await r.locator('select.target').selectOption('laptop-wsl2');
      await page.locator('#rows tr').first().locator('button.mountbtn').click();
      await waitForToast(page, `unknown device: ${evil}`, true);
      assert.deepEqual(JSON.parse(mountBody), { device_id: id, target_id: 'laptop-wsl2' });
    } finally {
      await context.close();
    }
  });
});

describe('server that goes away', () => {
  it('keeps the last snapshot quietly and catches up when the server is back', async () => {
    let server = await startServer({ demo: true });
    const { port } = server;
    const { context, page, requests } = await openPage(browser, server.base + '/');
    try {
      await row(page, CP2102).locator('select.target').selectOption('this-container');
      await page.waitForFunction((id) =>
        document.querySelector(`select[id="cls-${id}"]`).closest('tr').querySelector('select.target').value === 'this-container', CP2102);
      await markRows(page);
      const shownBefore = await page.$eval('.wrap', (w) => w.innerText);

      // A proxy in front that answers with an error document is no snapshot.
      await page.route('**/state', (route) => route.fulfill({ status: 502, json: { error: 'upstream down' } }));
      await sleep(1000);
      assert.equal(await page.$eval('.wrap', (w) => w.innerText), shownBefore, 'error answers are not drawn');
      await page.unroute('**/state');

      await server.stop();
      await sleep(1500);
      assert.equal(await rowsMarked(page), true, 'rows kept');
      assert.equal(await page.$eval('.wrap', (w) => w.innerText), shownBefore, 'nothing changed on screen');
      assert.equal(await page.$eval('#toast', (t) => t.classList.contains('show')), false, 'no message');

      // Each console message costs one failed post and nothing more.
      const consolePosts = () => requests.filter((r) => r.startsWith('POST') && r.endsWith('/console')).length;
      await page.evaluate(() => { console.log('one'); console.error('two'); });
      await sleep(1000);
      assert.equal(consolePosts(), 2);

      server = await startServer({ demo: true, port });
      await page.waitForFunction(() => document.querySelector('#rows tr[data-mark]') === null, null, { timeout: 5000 });
      assert.equal(await row(page, CP2102).locator('select.target').inputValue(), 'this-container', 'pick kept');
      assert.equal(consolePosts(), 2, 'failed posts were not retried');
    } finally {
      await context.close();
      await server.stop();
    }
  });
});

describe('under a path prefix', () => {
  let server;
  let proxy;
  before(async () => {
    server = await startServer({ demo: true });
    proxy = await startPrefixProxy(server.base, '/workspace/proxy/8896');
  });
  after(async () => {
    await proxy?.close();
    await server?.stop();
  });

  it('loads, polls, acts and logs through the prefix only', async () => {
    const { context, page, requests } = await openPage(browser, proxy.url);
    try {
      await row(page, RP2040).locator('select.target').selectOption('laptop-wsl2');
      await row(page, RP2040).locator('button.mountbtn').click();
      await waitForToast(page, 'mounted → laptop-wsl2');
      await row(page, RP2040).locator('button.mountbtn.un').waitFor();
      await page.click('#refresh');
      await waitForToast(page, 'refreshed');
      await page.evaluate(() => console.warn('via the proxy'));
      const messages = await waitForConsole(server, 1);
      assert.deepEqual(messages.map((m) => m.msg), ['via the proxy']);

      const paths = new Set(requests.map((r) => {
        const [method, url] = r.split(' ');
        assert.ok(url.startsWith(proxy.url), `${r} is outside the prefix`);
        return `${method} ${url.slice(proxy.url.length)}`;
      }));
      for (const p of ['GET ', 'GET favicon.svg', 'GET state', 'POST mount', 'POST refresh', 'POST console']) {
        assert.ok(paths.has(p), `${p} requested under the prefix`);
      }
      assert.deepEqual(proxy.stray, []);
    } finally {
      await context.close();
    }
  });
});
