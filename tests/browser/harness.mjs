// Shared helpers of the browser tests: the real tavrix-usb server on a free
// loopback port with the stand-in lsusb first on PATH, headless Debian
// Chromium, a path-prefix proxy and small waiting helpers.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const doubles = path.resolve(here, '..', 'doubles');

export const BIN = process.env.TAVRIX_USB_BIN
  ? path.resolve(process.env.TAVRIX_USB_BIN)
  : path.resolve(here, '..', '..', 'build', 'tavrix-usb');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

// A closed network: nothing in the browser may try to reach the outside.
const CHROMIUM_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-dev-shm-usage',
];

// Playwright gives every launch a fresh, temporary --user-data-dir of its
// own and removes it on close; contexts made from it share nothing.
export function launchBrowser() {
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const srv = net.createServer();
    srv.unref();
    srv.on('error', reject);
    srv.listen(0, '127.0.0.1', () => {
      const { port } = srv.address();
      srv.close(() => resolve(port));
    });
  });
}

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// One JSON request to the server, as an agent would make it.
export async function api(base, method, urlPath, body) {
  const res = await fetch(base + '/' + urlPath, {
    method,
    headers: body === undefined ? {} : { 'Content-Type': 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body),
    signal: AbortSignal.timeout(5000),
  });
  const text = await res.text();
  let json = null;
  try { json = JSON.parse(text); } catch { /* left null */ }
  return { status: res.status, body: json, text };
}

// Servers still running when this process ends (a crash, an interrupt) are
// killed rather than left behind on their ports.
const running = new Set();
process.on('exit', () => { for (const proc of running) proc.kill('SIGKILL'); });

// Starts `tavrix-usb app --no-tab` on `port` (a free one when not given).
// `lsusb` is the listing the stand-in prints; none means no live devices.
export async function startServer({ demo = true, lsusb = '', port, bin = BIN } = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavrix-browser-'));
  const listing = path.join(dir, 'lsusb.txt');
  fs.writeFileSync(listing, lsusb);
  const env = {
    ...process.env,
    PATH: `${doubles}:${process.env.PATH}`,
    TAVRIX_FAKE_LSUSB: listing,
    TAVRIX_FAKE_LSUSB_EXIT: '0',
  };
  delete env.TAVRIX_USB_DEMO;
  delete env.TAVRIX_USB_DEV;

  // A port picked free can still be taken before the server binds it, and a
  // port just given up may need a moment: try a few times.
  let lastError;
  for (let attempt = 0; attempt < 5; attempt++) {
    const p = port ?? (await freePort());
    const args = ['app', '--no-tab', '--port', String(p)];
    if (demo) args.push('--demo');
    const proc = spawn(bin, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    proc.stdout.on('data', (d) => { output += d; });
    proc.stderr.on('data', (d) => { output += d; });
    running.add(proc);
    const exited = new Promise((resolve) => proc.on('exit', (code, signal) => {
      running.delete(proc);
      resolve({ code, signal });
    }));
    let gone = null;
    exited.then((e) => { gone = e; });

    const base = `http://127.0.0.1:${p}`;
    const deadline = Date.now() + 10000;
    while (Date.now() < deadline && !gone) {
      try {
        const h = await api(base, 'GET', 'health');
        if (h.status === 200) {
          return {
            base,
            port: p,
            output: () => output,
            async stop() {
              if (!gone) {
                try { await api(base, 'POST', 'shutdown', {}); } catch { /* killed below */ }
                const done = await Promise.race([exited, sleep(3000).then(() => null)]);
                if (!done) {
                  proc.kill('SIGKILL');
                  await exited;
                }
              }
              fs.rmSync(dir, { recursive: true, force: true });
            },
          };
        }
      } catch { /* not listening yet */ }
      await sleep(50);
    }
    if (!gone) {
      proc.kill('SIGKILL');
      await exited;
    }
    lastError = new Error(`tavrix-usb did not come up on port ${p}:\n${output}`);
    await sleep(200);
  }
  fs.rmSync(dir, { recursive: true, force: true });
  throw lastError;
}

// A reverse proxy that serves the dashboard under `prefix` (such as
// "/proxy/8896"), the way a workspace proxy does. Requests outside the
// prefix are answered 404 and remembered in `stray`.
export async function startPrefixProxy(target, prefix) {
  const stray = [];
  const upstream = new URL(target);
  const srv = http.createServer((req, res) => {
    if (!req.url.startsWith(prefix + '/')) {
      stray.push(`${req.method} ${req.url}`);
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('outside the prefix');
      return;
    }
    const fwd = http.request({
      host: upstream.hostname,
      port: upstream.port,
      method: req.method,
      path: req.url.slice(prefix.length),
      headers: { ...req.headers, host: upstream.host },
    }, (up) => {
      res.writeHead(up.statusCode, up.headers);
      up.pipe(res);
    });
    fwd.on('error', () => {
      res.writeHead(502, { 'Content-Type': 'text/plain' });
      res.end('bad gateway');
    });
    req.pipe(fwd);
  });
  await new Promise((resolve) => srv.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${srv.address().port}${prefix}/`,
    stray,
    close: () => new Promise((resolve) => { srv.closeAllConnections(); srv.close(resolve); }),
  };
}

// A fresh context and page. Every request the page makes is recorded in
// `requests` as "METHOD url".
export async function openPage(browser, url, { width = 1280, height = 800, clock = false, wait = true } = {}) {
  const context = await browser.newContext({ viewport: { width, height } });
  const page = await context.newPage();
  const requests = [];
  page.on('request', (r) => requests.push(`${r.method()} ${r.url()}`));
  if (clock) await page.clock.install();
  await page.goto(url);
  if (wait) await page.waitForFunction(() => !document.getElementById('rows').textContent.includes('Loading'));
  return { context, page, requests };
}

// Waits until the page shows a toast with this text (and this error look).
export async function waitForToast(page, text, isErr = false) {
  await page.waitForFunction(([t, e]) => {
    const el = document.getElementById('toast');
    return el.classList.contains('show') && el.textContent === t && el.classList.contains('err') === e;
  }, [text, isErr], { timeout: 5000 });
}

// The table row of a device, found by the class select that carries its id.
export function row(page, deviceId) {
  return page.locator(`#rows tr:has(select[id="cls-${deviceId}"])`);
}

// Puts a mark on the drawn rows; a redraw replaces them and the mark is gone.
export function markRows(page) {
  return page.evaluate(() => document.querySelectorAll('#rows tr').forEach((tr) => { tr.dataset.mark = '1'; }));
}

export function rowsMarked(page) {
  return page.evaluate(() => document.querySelector('#rows tr[data-mark]') !== null);
}
