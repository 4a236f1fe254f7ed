// Browser test of the Basic settings page: lighttpd runs the real cfgout as a
// CGI program over a copy of the demo configuration, Debian's Chromium (driven
// by playwright-core, no browser download) edits the form with the keyboard
// and the mouse, and the test checks the page and the configuration files.
//
// Environment: CFGOUT_BINARY (the cfgout executable), CFGOUT_DEMO_DIR (the
// sample configuration and lighttpd templates), CFGOUT_E2E_OUT (where the run
// folder and the screenshots go).
import { spawn } from 'node:child_process';
import { strict as assert } from 'node:assert';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { chromium } from 'playwright-core';

const binary = mustEnv('CFGOUT_BINARY');
const demoDir = mustEnv('CFGOUT_DEMO_DIR');
const outDir = mustEnv('CFGOUT_E2E_OUT');
const lighttpdBin = process.env.LIGHTTPD || '/usr/sbin/lighttpd';
const chromiumBin = process.env.CHROMIUM || '/usr/bin/chromium';

const DONE = 'The requested configuration changes have been completed successfully.';

function mustEnv(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set`);
  return value;
}

function freePort() {
  return new Promise((resolve, reject) => {
    const srv = net.createServer();
    srv.on('error', reject);
    srv.listen(0, '127.0.0.1', () => {
      const { port } = srv.address();
      srv.close(() => resolve(port));
    });
  });
}

async function waitForPort(port, child, ms) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (child.exitCode !== null) throw new Error(`lighttpd exited with ${child.exitCode}`);
    const ok = await new Promise((resolve) => {
      const s = net.connect(port, '127.0.0.1', () => { s.end(); resolve(true); });
      s.on('error', () => resolve(false));
    });
    if (ok) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`lighttpd did not listen on ${port} within ${ms} ms`);
}

function fillTemplate(file, values) {
  let text = fs.readFileSync(path.join(demoDir, file), 'utf8');
  for (const [key, value] of Object.entries(values)) text = text.split(`@${key}@`).join(String(value));
  return text;
}

// Lay out a run folder like the demo does and start lighttpd on a free port.
async function startServer() {
  const run = path.join(outDir, 'run');
  fs.rmSync(run, { recursive: true, force: true });
  for (const d of ['htdocs', 'cgi-bin', 'server/icons', 'logs']) fs.mkdirSync(path.join(run, d), { recursive: true });
  fs.symlinkSync(path.resolve(binary), path.join(run, 'cgi-bin', 'cfgout'));
  for (const name of ['proxy', 'caching', 'logging']) {
    fs.writeFileSync(path.join(run, `${name}.conf`), fillTemplate(`${name}.conf.in`, { RUN: run }));
  }
  for (let attempt = 0; ; attempt++) {
    const port = await freePort();
    fs.writeFileSync(path.join(run, 'lighttpd.conf'), fillTemplate('lighttpd.conf.in', { RUN: run, PORT: port }));
    const child = spawn(lighttpdBin, ['-D', '-f', path.join(run, 'lighttpd.conf')], { stdio: ['ignore', 'inherit', 'inherit'] });
    try {
      await waitForPort(port, child, 10000);
      return { run, port, child };
    } catch (err) {
      child.kill('SIGTERM');
      if (attempt >= 2) throw err;
    }
  }
}

function stopServer(child) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null) return resolve();
    const timer = setTimeout(() => { child.kill('SIGKILL'); }, 5000);
    child.once('exit', () => { clearTimeout(timer); resolve(); });
    child.kill('SIGTERM');
  });
}

async function statusOf(page) {
  const status = page.locator('section.status');
  await status.waitFor();
  const message = (await status.locator('.status-message').textContent()).trim();
  const kind = await status.locator('.status-kind').getAttribute('class');
  return { message, kind };
}

let server = null;

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  server = await startServer();
  const { run, port, child } = server;
  let browser;
  try {
    browser = await chromium.launch({
      executablePath: chromiumBin,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
        '--disable-component-update', '--no-first-run'],
      timeout: 30000,
    });
    const page = await browser.newPage({ viewport: { width: 1200, height: 1400 } });
    page.setDefaultTimeout(15000);
    const configPath = path.join(run, 'proxy.conf');
    const original = fs.readFileSync(configPath, 'utf8');

    // The root redirects to the Basic page, which shows the configuration.
    await page.goto(`http://127.0.0.1:${port}/`);
    assert.match(page.url(), /\/cgi-bin\/cfgout\/BASIC$/);
    assert.equal(await page.title(), 'Basic settings - Proxy configuration');
    assert.deepEqual(await statusOf(page), { message: 'Ready', kind: 'status-kind status-0' });
    assert.equal(await page.getByLabel('Host name', { exact: true }).inputValue(), 'proxy.example.com');
    assert.equal(await page.getByLabel('Ports', { exact: true }).inputValue(), '8080');
    assert.equal(await page.getByLabel('Administration port', { exact: true }).inputValue(), '8008');
    assert.equal(await page.getByLabel('Run as group', { exact: true }).inputValue(), 'nogroup');
    assert.equal(await page.getByLabel('In files', { exact: true }).isChecked(), true);
    assert.equal(await page.getByLabel('Only files with include names', { exact: true }).isChecked(), true);
    assert.equal(await page.getByLabel('All addresses', { exact: true }).isChecked(), true);
    assert.equal(await page.locator('nav a[href="PROXCACH"]').count(), 1);

    // Change the ports and the host name with the keyboard only, submit with Enter.
    await page.getByLabel('Host name', { exact: true }).focus();
    await page.keyboard.press('Control+A');
    await page.keyboard.type('www.example.org');
    await page.getByLabel('Ports', { exact: true }).focus();
    await page.keyboard.press('Control+A');
    await page.keyboard.type('8080,8081');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'ADMINPORT');
    await page.keyboard.press('Control+A');
    await page.keyboard.type('9090');
    await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);

    assert.deepEqual(await statusOf(page), { message: DONE, kind: 'status-kind status-1' });
    assert.equal(await page.getByLabel('Host name', { exact: true }).inputValue(), 'www.example.org');
    assert.equal(await page.getByLabel('Ports', { exact: true }).inputValue(), '8080,8081');
    assert.equal(await page.getByLabel('Administration port', { exact: true }).inputValue(), '9090');
    await page.screenshot({ path: path.join(outDir, 'basic-done.png'), fullPage: true });

    const changed = fs.readFileSync(configPath, 'utf8');
    const expected = original
      .replace(/^HostName {8}proxy\.example\.com\n/m, 'HostName       www.example.org\n')
      .replace(/^Port {12}8080\n/m, 'Port            8080\nPort     8081\n')
      .replace(/^AdminPort {7}8008\n/m, 'AdminPort       9090\n');
    assert.notEqual(expected, original);
    assert.equal(changed, expected);

    // A bad administration port is refused with its validation message and
    // the configuration stays as it was; the form is submitted with the mouse.
    await page.getByLabel('Administration port', { exact: true }).fill('99999');
    await Promise.all([page.waitForNavigation(), page.getByRole('button', { name: 'Apply' }).click()]);
    const refused = await statusOf(page);
    assert.equal(refused.kind, 'status-kind status-3');
    assert.match(refused.message, /administration port/i);
    assert.equal(fs.readFileSync(configPath, 'utf8'), changed);
    await page.screenshot({ path: path.join(outDir, 'basic-error.png'), fullPage: true });
  } finally {
    if (browser) await browser.close();
    await stopServer(child);
  }
}

const watchdog = setTimeout(() => {
  console.error('e2e: time limit reached');
  if (server && server.child.exitCode === null) server.child.kill('SIGKILL');
  process.exit(2);
}, 150000);
main().then(() => {
  clearTimeout(watchdog);
  console.log('e2e basic page: 1 passed, 0 failed');
}, (err) => {
  clearTimeout(watchdog);
  console.error(err);
  console.log('e2e basic page: 0 passed, 1 failed');
  process.exit(1);
});
