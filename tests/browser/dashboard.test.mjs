// The dashboard page in headless Chromium against the real server: first
// draw, the rows of the demo set, filters, actions and their toasts, redraws.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import {
  api, launchBrowser, markRows, openPage, row, rowsMarked, sleep, startServer, waitForToast,
} from './harness.mjs';

const RP2040 = 'laptop:2e8a:0003';
const STLINK = 'laptop:0483:374b';
const CP2102 = 'laptop:10c4:ea60';
const CH340 = 'workcell-rpi-001:1a86:7523';
const FTDI = 'azure-vm:0403:6010';

const LINUX_FIRST = 'Mount to a Linux target to reset / test / force-class / sniff.';
const CLASS_TIP = 'Force the kernel to bind this device as a specific class regardless of its default, via driver_override.';

// Everything a person can read or hover in one row, as plain data.
function readRows(page) {
  return page.evaluate(() => [...document.querySelectorAll('#rows tr')].map((tr) => {
    const td = tr.querySelectorAll('td');
    const tip = (el) => (el ? el.getAttribute('data-tooltip') : null);
    const target = tr.querySelector('select.target');
    const mountBtn = tr.querySelector('button.mountbtn:not(.un)');
    const unmount = tr.querySelector('button.mountbtn.un');
    const ops = {};
    for (const b of tr.querySelectorAll('button.iconbtn')) {
      ops[b.dataset.op] = { disabled: b.disabled, tip: tip(b) };
    }
    const cls = tr.querySelector('select.cls');
    return {
      name: tr.querySelector('.dev-name').textContent,
      demo: tr.querySelector('.badge.demo') !== null,
      sub: tr.querySelector('.dev-sub').textContent,
      vidpid: td[1].textContent,
      serial: td[2].textContent,
      cls: td[3].textContent,
      source: td[4].textContent,
      sourceBadge: td[4].querySelector('.badge').className,
      sourceTip: tip(td[4].querySelector('.badge')),
      mounted: td[5].textContent,
      mountedBadge: td[5].querySelector('.badge').className,
      mountedTip: tip(td[5].querySelector('.badge')),
      control: unmount ? 'unmount' : target ? 'select' : 'native',
      unmountTip: tip(unmount),
      options: target ? [...target.options].map((o) =>
        `${o.value}|${o.textContent}${o.disabled ? '|disabled' : ''}${o.selected ? '|selected' : ''}`) : null,
      targetTip: tip(target),
      mountTip: tip(mountBtn),
      nativeTip: tip(tr.querySelector('.mountctl > .badge')),
      ops,
      clsDisabled: cls.disabled,
      clsTip: tip(cls),
      clsOptions: [...cls.options].map((o) => `${o.value}|${o.textContent}${o.selected ? '|selected' : ''}`),
      clsId: cls.id,
    };
  }));
}

function header(page) {
  return page.evaluate(() => ({
    mode: document.getElementById('modetext').textContent,
    pill: document.getElementById('modepill').className,
    counters: document.getElementById('smTotal').textContent,
    counts: ['all', 'local', 'cloud'].map((f) => document.getElementById('ct-' + f).textContent),
    chips: [...document.querySelectorAll('#filters .chip')].map((c) =>
      `${c.dataset.f}|${c.classList.contains('on') ? 'on' : 'off'}|${c.getAttribute('aria-pressed')}`),
    rows: document.getElementById('rows').innerText.trim(),
    summary: document.getElementById('logsummary').textContent,
    // textContent: the log may be closed, and closed content has no innerText.
    log: [...document.querySelectorAll('#logbox > *')].map((e) =>
      (e.children.length ? [...e.children] : [e]).map((c) => c.textContent).join(' ')),
    logOpen: document.getElementById('logwrap').open,
  }));
}

const disabledOps = (reason) => ({
  reset: { disabled: true, tip: reason },
  test: { disabled: true, tip: reason },
  class_override: { disabled: true, tip: 'Apply the selected class override.' },
  sniff: { disabled: true, tip: reason },
});
const enabledOps = (hostLabel) => ({
  reset: { disabled: false, tip: `Power-cycle / re-enumerate this device on ${hostLabel}.` },
  test: { disabled: false, tip: 'Run lsusb -v + an enumerate/echo health check on the target.' },
  class_override: { disabled: false, tip: 'Apply the selected class override.' },
  sniff: { disabled: false, tip: 'Capture USB packets (usbmon) for this device on the target → pcap.' },
});
const CLS_OPTIONS = ['hid|HID|selected', 'storage|Mass storage', 'serial|Serial'];

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

describe('demo dashboard', () => {
  let server;
  before(async () => { server = await startServer({ demo: true }); });
  after(async () => { await server?.stop(); });

  it('shows the loading state until the first snapshot arrives, then draws it', async () => {
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    try {
      const page = await context.newPage();
      const requests = [];
      page.on('request', (r) => requests.push(r.url()));
      let release;
      const held = new Promise((r) => { release = r; });
      await page.route('**/state', async (route) => { await held; await route.continue(); });
      await page.goto(server.base + '/');

      assert.deepEqual(await header(page), {
        mode: '…',
        pill: 'pill',
        counters: '0 devices',
        counts: ['0', '0', '0'],
        chips: ['all|on|true', 'local|off|false', 'cloud|off|false'],
        rows: 'Loading…',
        summary: 'Action log — agent commands',
        log: [],
        logOpen: false,
      });
      assert.equal(await page.locator('#rows td').getAttribute('colspan'), '7');
      assert.equal(await page.title(), 'USB Devices — Tavrix');

      // The closed popover is invisible and lets the pointer through.
      const popover = await page.evaluate(() => {
        const pop = document.getElementById('app-info');
        const r = pop.getBoundingClientRect();
        const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
        const cs = getComputedStyle(pop);
        return { opacity: cs.opacity, hit: pop.contains(hit) };
      });
      assert.deepEqual(popover, { opacity: '0', hit: false });

      release();
      await page.waitForSelector('#rows .dev-name');
      const h = await header(page);
      assert.equal(h.mode, 'demo data');
      assert.equal(h.pill, 'pill demo');
      assert.equal(h.counters, '5 devices · 3 local · 2 cloud · 2 mounted');
      assert.deepEqual(h.counts, ['5', '3', '2']);
      assert.deepEqual(h.log, ['No actions yet. Mount a device to see the exact agent command it runs.']);
      assert.equal(h.summary, 'Action log — agent commands');

      // Only our own server is ever asked for anything.
      assert.ok(requests.some((u) => u === server.base + '/favicon.svg'), 'icon loaded');
      for (const u of requests) assert.ok(u.startsWith(server.base + '/'), `request to ${u}`);
    } finally {
      await context.close();
    }
  });

  it('draws one row per demo device with every cell and control', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      const rows = await readRows(page);
      assert.deepEqual(rows.map((r) => r.name), [
        'Raspberry Pi RP2040 (BOOTSEL)', 'ST-Link/V2.1 (STM32 debugger)', 'CP2102 USB-to-UART Bridge',
        'CH340 Serial', 'FTDI FT2232H (JTAG/serial)',
      ]);
      const cases = [
        {
          id: RP2040, sub: 'Mass storage (UF2) · bus 2-4', vidpid: '2E8A:0003', serial: 'E660C0D1C7332A28',
          cls: 'Mass storage (UF2)', source: "Pelloran's laptop (Windows)", sourceBadge: 'badge local',
          mounted: '— not mounted —', mountedBadge: 'badge unmounted', mountedTip: null, control: 'select',
        },
        {
          id: STLINK, sub: 'Vendor / CMSIS-DAP · bus 2-1', vidpid: '0483:374B', serial: '066BFF495054',
          cls: 'Vendor / CMSIS-DAP', source: "Pelloran's laptop (Windows)", sourceBadge: 'badge local',
          mounted: 'Laptop WSL2 / Orvane Desktop', mountedBadge: 'badge mounted',
          mountedTip: 'Currently attached to Laptop WSL2 / Orvane Desktop.', control: 'unmount',
        },
        {
          id: CP2102, sub: 'CDC serial · bus 2-3', vidpid: '10C4:EA60', serial: '0001', cls: 'CDC serial',
          source: "Pelloran's laptop (Windows)", sourceBadge: 'badge local',
          mounted: '— not mounted —', mountedBadge: 'badge unmounted', mountedTip: null, control: 'select',
        },
        {
          id: CH340, sub: 'CDC serial · bus 1-1', vidpid: '1A86:7523', serial: '—', cls: 'CDC serial',
          source: 'Workcell rpi-001', sourceBadge: 'badge cloud',
          mounted: 'This cloud container', mountedBadge: 'badge mounted',
          mountedTip: 'Currently attached to This cloud container.', control: 'unmount',
        },
        {
          id: FTDI, sub: 'Vendor / JTAG · bus 3-2', vidpid: '0403:6010', serial: 'FT9AB2CD', cls: 'Vendor / JTAG',
          source: 'Azure VM desktop (Windows)', sourceBadge: 'badge cloud',
          mounted: '— not mounted —', mountedBadge: 'badge unmounted', mountedTip: null, control: 'select',
        },
      ];
      cases.forEach((c, i) => {
        const r = rows[i];
        const { id, ...want } = c;
        const got = Object.fromEntries(Object.keys(want).map((k) => [k, r[k]]));
        assert.deepEqual(got, want, id);
        assert.equal(r.demo, true, id);
        assert.equal(r.sourceTip, `Physically plugged into ${c.source}.`, id);
        assert.equal(r.clsId, `cls-${id}`, id);
        assert.deepEqual(r.clsOptions, CLS_OPTIONS, id);
        const linux = c.control === 'unmount';
        assert.deepEqual(r.ops, linux ? enabledOps(c.mounted) : disabledOps(LINUX_FIRST), id);
        assert.equal(r.clsDisabled, !linux, id);
        assert.equal(r.clsTip, `${CLASS_TIP} ${linux ? '' : LINUX_FIRST}`, id);
      });

      // The mount control of a laptop device: every routing target, the
      // blocked one shown but not selectable, the first one preselected.
      const rp = rows[0];
      assert.deepEqual(rp.options, [
        "laptop|Pelloran's laptop (Windows) (native)|selected",
        'laptop-wsl2|Laptop WSL2 / Orvane Desktop',
        'this-container|This cloud container',
        'azure-vm|Azure VM desktop (Windows) — unavailable|disabled',
        'azure-wsl2|Azure VM WSL2 / OD-on-VM',
      ]);
      assert.equal(rp.targetTip, 'Choose where to mount this device. Native on the host it is plugged into');
      assert.equal(rp.mountTip, 'Mount this device on the selected target. Native on the host it is plugged into.');
      assert.deepEqual(rows[4].options, [
        "laptop|Pelloran's laptop (Windows)|selected",
        'laptop-wsl2|Laptop WSL2 / Orvane Desktop',
        'this-container|This cloud container',
        'azure-vm|Azure VM desktop (Windows) (native)',
        'azure-wsl2|Azure VM WSL2 / OD-on-VM',
      ]);
      assert.equal(rows[1].unmountTip, 'Detach this device from Laptop WSL2 / Orvane Desktop and return it to ' +
        "its source host (Pelloran's laptop (Windows)).");
      assert.equal(rows[3].unmountTip, 'Detach this device from This cloud container and return it to its ' +
        'source host (Workcell rpi-001).');
    } finally {
      await context.close();
    }
  });

  it('filters rows by location and keeps the chips in step', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      const cases = [
        { f: 'local', names: ['Raspberry Pi RP2040 (BOOTSEL)', 'ST-Link/V2.1 (STM32 debugger)', 'CP2102 USB-to-UART Bridge'] },
        { f: 'cloud', names: ['CH340 Serial', 'FTDI FT2232H (JTAG/serial)'] },
        { f: 'all', names: null },
      ];
      for (const c of cases) {
        // A click on the count inside the chip selects the chip too.
        await page.click(`#filters .chip[data-f="${c.f}"] .ct`);
        const names = await page.$$eval('#rows .dev-name', (els) => els.map((e) => e.textContent));
        if (c.names) assert.deepEqual(names, c.names, c.f);
        else assert.equal(names.length, 5);
        const chips = (await header(page)).chips;
        assert.deepEqual(chips, ['all', 'local', 'cloud'].map((f) =>
          f === c.f ? `${f}|on|true` : `${f}|off|false`));
      }
    } finally {
      await context.close();
    }
  });

  it('hides the counters line at 720 px and narrower', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      for (const [width, shown] of [[720, false], [721, true], [1280, true]]) {
        await page.setViewportSize({ width, height: 800 });
        const display = await page.$eval('#subjectMeta', (e) => getComputedStyle(e).display);
        assert.equal(display !== 'none', shown, `${width} px`);
      }
    } finally {
      await context.close();
    }
  });

  it('keeps every control inside a narrow window', async () => {
    const { context, page } = await openPage(browser, server.base + '/', { width: 700 });
    try {
      const overflow = await page.evaluate(() => {
        const vw = document.documentElement.clientWidth;
        const out = [...document.querySelectorAll('#rows button, #rows select')]
          .filter((el) => { const r = el.getBoundingClientRect(); return r.left < 0 || r.right > vw; })
          .map((el) => el.outerHTML.slice(0, 60));
        return { out, scrolls: document.documentElement.scrollWidth > vw };
      });
      assert.deepEqual(overflow, { out: [], scrolls: false });
    } finally {
      await context.close();
    }
  });
});

describe('actions from the rows', () => {
  let server;
  before(async () => { server = await startServer({ demo: true }); });
  after(async () => { await server?.stop(); });

  it('mounts, operates and unmounts a device, each with its toast and redraw', async () => {
    const { context, page, requests } = await openPage(browser, server.base + '/');
    try {
      const rp = row(page, RP2040);

      // The preselected first target is not a choice: nothing is sent.
      await rp.locator('button.mountbtn').click();
      await waitForToast(page, 'pick a target first', true);
      assert.ok(!requests.some((r) => r.startsWith('POST') && r.endsWith('/mount')), 'no mount sent');

      // Picking redraws at once, with the mechanism of the picked target.
      await rp.locator('select.target').selectOption('laptop-wsl2');
      await page.waitForFunction((id) => {
        const b = document.querySelector(`#rows tr:has(select[id="cls-${id}"]) button.mountbtn`);
        return b && b.dataset.tooltip.includes('Local attach (usbipd --wsl), no relay');
      }, RP2040);
      assert.equal(await rp.locator('select.target').getAttribute('data-tooltip'),
        'Choose where to mount this device. Local attach (usbipd --wsl), no relay');

      const mounted = page.waitForResponse((r) => r.url().endsWith('/mount'));
      await rp.locator('button.mountbtn').click();
      const mountAnswer = await (await mounted).json();
      assert.deepEqual(mountAnswer.mounted_on, 'laptop-wsl2');
      assert.equal(JSON.parse((await mounted).request().postData()).target_id, 'laptop-wsl2');
      await waitForToast(page, 'mounted → laptop-wsl2');

      // The next poll brings the new state: Unmount, the operations, the log.
      await rp.locator('button.mountbtn.un').waitFor();
      let [r] = (await readRows(page)).filter((x) => x.clsId === `cls-${RP2040}`);
      assert.equal(r.mounted, 'Laptop WSL2 / Orvane Desktop');
      assert.deepEqual(r.ops, enabledOps('Laptop WSL2 / Orvane Desktop'));
      let h = await header(page);
      assert.equal(h.summary, 'Action log — 1 recent agent command');
      assert.deepEqual(h.log, [`mount ${mountAnswer.command}`]);
      assert.equal(h.counters, '5 devices · 3 local · 2 cloud · 3 mounted');

      // Device operations: the toast carries the command of the answer. The
      // chosen class is shown but not sent.
      for (const [op, path] of [['reset', 'reset'], ['class_override', 'class-override']]) {
        if (op === 'class_override') await rp.locator('select.cls').selectOption('serial');
        const answered = page.waitForResponse((x) => x.url().endsWith('/' + path));
        await rp.locator(`button[data-op="${op}"]`).click();
        const res = await answered;
        assert.deepEqual(JSON.parse(res.request().postData()), { device_id: RP2040 });
        const body = await res.json();
        await waitForToast(page, `${op}: ${body.command}`);
      }
      await page.waitForFunction(() =>
        document.getElementById('logsummary').textContent === 'Action log — 3 recent agent commands');
      h = await header(page);
      assert.deepEqual(h.log.map((l) => l.split(' ')[0]), ['class_override', 'reset', 'mount']);

      // Unmount; the target picked before stays picked, the class select
      // starts again at HID.
      await rp.locator('button.mountbtn.un').click();
      await waitForToast(page, 'unmounted');
      await rp.locator('select.target').waitFor();
      [r] = (await readRows(page)).filter((x) => x.clsId === `cls-${RP2040}`);
      assert.equal(r.mounted, '— not mounted —');
      assert.ok(r.options.includes('laptop-wsl2|Laptop WSL2 / Orvane Desktop|selected'), r.options.join());
      assert.deepEqual(r.clsOptions, CLS_OPTIONS);
    } finally {
      await context.close();
    }
  });

  it('shows the server\'s refusal as an error toast', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      await row(page, STLINK).locator('button.mountbtn.un').waitFor();
      // Another client unmounts the device while this page cannot poll.
      await page.route('**/state', (route) => route.abort());
      assert.equal((await api(server.base, 'POST', 'unmount', { device_id: STLINK })).status, 200);
      await row(page, STLINK).locator('button.mountbtn.un').click();
      await waitForToast(page, 'device is not mounted', true);
      // Once polls get through again the row catches up.
      await page.unroute('**/state');
      await row(page, STLINK).locator('select.target').waitFor();
    } finally {
      await context.close();
    }
  });

  it('falls back to a fixed text when an answer has no error or is not JSON', async () => {
    const { context, page } = await openPage(browser, server.base + '/');
    try {
      const cases = [
        { path: 'mount', status: 502, toast: 'mount failed', err: true,
          act: async () => {
            await row(page, CP2102).locator('select.target').selectOption('laptop-wsl2');
            await row(page, CP2102).locator('button.mountbtn').click();
          } },
        { path: 'unmount', status: 500, toast: 'unmount failed', err: true,
          act: () => row(page, CH340).locator('button.mountbtn.un').click() },
        { path: 'sniff', status: 502, toast: 'sniff failed', err: true,
          act: () => row(page, CH340).locator('button[data-op="sniff"]').click() },
        { path: 'test', status: 200, toast: 'test: queued', err: false,
          act: () => row(page, CH340).locator('button[data-op="test"]').click() },
      ];
      for (const c of cases) {
        await page.route(`**/${c.path}`, (route) =>
          route.fulfill({ status: c.status, contentType: 'text/html', body: '<h1>proxy says no</h1>' }));
        await c.act();
        await waitForToast(page, c.toast, c.err);
        await page.unroute(`**/${c.path}`);
      }
    } finally {
      await context.close();
    }
  });

  it('redraws only on a new state stamp, or at once after Refresh', async () => {
    const { context, page, requests } = await openPage(browser, server.base + '/');
    try {
      await markRows(page);
      const polls = requests.filter((r) => r.endsWith('/state')).length;
      await sleep(1500);
      assert.ok(requests.filter((r) => r.endsWith('/state')).length >= polls + 2, 'kept polling');
      assert.equal(await rowsMarked(page), true, 'unchanged snapshots leave the rows alone');

      const refreshed = page.waitForRequest((r) => r.url().endsWith('/refresh') && r.method() === 'POST');
      await page.click('#refresh');
      assert.equal((await refreshed).postData(), '{}');
      await waitForToast(page, 'refreshed');
      await page.waitForFunction(() => document.querySelector('#rows tr[data-mark]') === null);

      // Refresh redraws even when the stamp has not moved, and says
      // "refreshed" whatever the answer.
      await markRows(page);
      await page.route('**/refresh', (route) => route.fulfill({ status: 500, json: { error: 'no' } }));
      await page.click('#refresh');
      await waitForToast(page, 'refreshed');
      await page.waitForFunction(() => document.querySelector('#rows tr[data-mark]') === null);
      await page.unroute('**/refresh');

      // A change made by someone else shows up on the next poll.
      await markRows(page);
      assert.equal((await api(server.base, 'POST', 'reset', { device_id: CH340 })).status, 200);
      await page.waitForFunction(() => document.querySelector('#rows tr[data-mark]') === null);
    } finally {
      await context.close();
    }
  });
});

describe('live dashboard', () => {
  it('explains an empty table for each filter', async () => {
    const server = await startServer({ demo: false });
    try {
      const { context, page } = await openPage(browser, server.base + '/');
      const h = await header(page);
      assert.equal(h.mode, 'live');
      assert.equal(h.pill, 'pill live');
      assert.equal(h.counters, '0 devices · 0 local · 0 cloud · 0 mounted');
      const cases = [
        ['all', 'No USB devices. Plug one in, or run tavrix-usb app --demo.'],
        ['local', 'No local USB devices. Plug one in, or run tavrix-usb app --demo.'],
        ['cloud', 'No cloud USB devices. Plug one in, or run tavrix-usb app --demo.'],
      ];
      for (const [f, sentence] of cases) {
        await page.click(`#filters .chip[data-f="${f}"]`);
        const cell = await page.$eval('#rows', (b) => ({
          text: b.innerText.trim(),
          cells: b.querySelectorAll('td').length,
          span: b.querySelector('td').colSpan,
          cls: b.querySelector('td').className,
          mono: b.querySelector('td .mono')?.textContent,
        }));
        assert.deepEqual(cell, { text: sentence, cells: 1, span: 7, cls: 'empty', mono: 'tavrix-usb app --demo' }, f);
      }
      await context.close();
    } finally {
      await server.stop();
    }
  });

  it('shows a device of this container as native, attached at home', async () => {
    const server = await startServer({
      demo: false,
      lsusb: 'Bus 001 Device 001: ID 1d6b:0002 Linux Foundation 2.0 root hub\n' +
        'Bus 002 Device 003: ID 0483:374b STMicroelectronics ST-LINK/V2.1\n',
    });
    try {
      const { context, page } = await openPage(browser, server.base + '/');
      assert.equal((await header(page)).counters, '1 device · 0 local · 1 cloud · 1 mounted');
      const [r] = await readRows(page);
      assert.deepEqual(
        { name: r.name, demo: r.demo, sub: r.sub, serial: r.serial, mounted: r.mounted, control: r.control },
        { name: 'STMicroelectronics ST-LINK/V2.1', demo: false, sub: 'USB device', serial: '—',
          mounted: 'This cloud container', control: 'native' });
      assert.equal(r.nativeTip, 'This device lives natively on This cloud container and has no remote export ' +
        'agent (cloud containers / WSL2 distros are consumers, not USB sources). Nothing to route.');
      assert.deepEqual(r.ops, enabledOps('This cloud container'));
      await context.close();
    } finally {
      await server.stop();
    }
  });
});
