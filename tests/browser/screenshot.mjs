// Takes the screenshots of the demo dashboard shown in the README:
//   node tests/browser/screenshot.mjs path/to/tavrix-usb docs
// writes dashboard.png (1280 px wide) and dashboard-narrow.png (700 px).
import path from 'node:path';
import { api, launchBrowser, openPage, startServer } from './harness.mjs';

const [binArg, outArg] = process.argv.slice(2);
if (!binArg || !outArg) {
  console.error('usage: node screenshot.mjs path/to/tavrix-usb output-folder');
  process.exit(2);
}
const server = await startServer({ demo: true, bin: path.resolve(binArg) });
const browser = await launchBrowser();
try {
  // A little history, so the action log shows what an action records.
  await api(server.base, 'POST', 'mount', { device_id: 'laptop:2e8a:0003', target_id: 'laptop-wsl2' });
  await api(server.base, 'POST', 'test', { device_id: 'laptop:0483:374b' });

  for (const [width, name] of [[1280, 'dashboard.png'], [700, 'dashboard-narrow.png']]) {
    const { context, page } = await openPage(browser, server.base + '/', { width, height: 720 });
    await page.click('#logsummary');
    await page.mouse.move(0, 0);
    const file = path.resolve(outArg, name);
    await page.screenshot({ path: file, fullPage: true });
    console.log(`wrote ${file}`);
    await context.close();
  }
} finally {
  await browser.close();
  await server.stop();
}
