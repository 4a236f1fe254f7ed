// Shared pieces of the browser tests: lighttpd runs the real cfgout as a CGI
// program over a fresh copy of the demo configuration, Debian's Chromium
// (driven by playwright-core, no browser download) visits the pages, and
// axe-core checks each page it visits.
//
// Environment: CFGOUT_BINARY (the cfgout executable), CFGOUT_DEMO_DIR (the
// sample configuration and lighttpd templates), CFGOUT_E2E_OUT (where run
// folders and screenshots go); CFGOUT_HTADM (the password tool) for tests
// that sign in. Each test is runBrowserTest(name, async (ctx) => ...) with the
// helpers of ctx below (open a page, fill it, apply and check the files).
import { execFileSync, spawn } from 'node:child_process';
import { strict as assert } from 'node:assert';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { AxeBuilder } from '@axe-core/playwright';

export const DONE = 'The requested configuration changes have been completed successfully.';
export const DONE_STATUS = { message: DONE, kind: 'status-kind status-1' };
export const ERROR_KIND = 'status-kind status-3';
const CONFIG_FILES = ['proxy.conf', 'caching.conf', 'logging.conf'];

const lighttpdBin = process.env.LIGHTTPD || '/usr/sbin/lighttpd';
const chromiumBin = process.env.CHROMIUM || '/usr/bin/chromium';

export function mustEnv(name) {
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

function fillTemplate(demoDir, file, values) {
  let text = fs.readFileSync(path.join(demoDir, file), 'utf8');
  for (const [key, value] of Object.entries(values)) text = text.split(`@${key}@`).join(String(value));
  return text;
}

// Lays out a run folder like the demo does (in CFGOUT_E2E_OUT/<name>) and
// starts lighttpd on a free port. `prepare(run)`, when given, runs after the
// folder is laid out and before lighttpd starts. `auth` ({ username,
// password }), when given, puts the pages behind basic authentication as the
// demo does: the password file server/protect/webadmin.passwd made by the
// password tool with that one user, and the group file "admins: <user>".
export async function startServer(name = 'run', { prepare, auth } = {}) {
  const binary = mustEnv('CFGOUT_BINARY');
  const demoDir = mustEnv('CFGOUT_DEMO_DIR');
  const run = path.join(mustEnv('CFGOUT_E2E_OUT'), name);
  fs.rmSync(run, { recursive: true, force: true });
  for (const d of ['htdocs', 'cgi-bin', 'server/icons', 'logs']) fs.mkdirSync(path.join(run, d), { recursive: true });
  fs.symlinkSync(path.resolve(binary), path.join(run, 'cgi-bin', 'cfgout'));
  for (const conf of ['proxy', 'caching', 'logging']) {
    fs.writeFileSync(path.join(run, `${conf}.conf`), fillTemplate(demoDir, `${conf}.conf.in`, { RUN: run }));
  }
  let authConf = '';
  if (auth) {
    const protect = path.join(run, 'server', 'protect');
    const passwd = path.join(protect, 'webadmin.passwd');
    fs.mkdirSync(protect, { recursive: true, mode: 0o700 });
    const htadm = mustEnv('CFGOUT_HTADM');
    execFileSync(htadm, ['Q-create', passwd]);
    execFileSync(htadm, ['Q-adduser', passwd, auth.username, auth.password, 'Browser test administrator']);
    fs.writeFileSync(path.join(protect, 'webadmin.group'), `admins: ${auth.username}\n`);
    authConf = fillTemplate(demoDir, 'lighttpd-auth.conf.in', { RUN: run });
  }
  if (prepare) await prepare(run);
  for (let attempt = 0; ; attempt++) {
    const port = await freePort();
    fs.writeFileSync(path.join(run, 'lighttpd.conf'),
      fillTemplate(demoDir, 'lighttpd.conf.in', { RUN: run, PORT: port }) + authConf);
    const child = spawn(lighttpdBin, ['-D', '-f', path.join(run, 'lighttpd.conf')], { stdio: ['ignore', 'inherit', 'inherit'] });
    try {
      await waitForPort(port, child, 10000);
      return { run, port, child, base: `http://127.0.0.1:${port}` };
    } catch (err) {
      child.kill('SIGTERM');
      if (attempt >= 2) throw err;
    }
  }
}

export function stopServer(child) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null) return resolve();
    const timer = setTimeout(() => { child.kill('SIGKILL'); }, 5000);
    child.once('exit', () => { clearTimeout(timer); resolve(); });
    child.kill('SIGTERM');
  });
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: chromiumBin,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--no-first-run'],
    timeout: 30000,
  });
}

// The status block of the page shown: its message and the class of its kind.
export async function statusOf(page) {
  const status = page.locator('section.status');
  await status.waitFor();
  const message = (await status.locator('.status-message').textContent()).trim();
  const kind = await status.locator('.status-kind').getAttribute('class');
  return { message, kind };
}

// Submits `page` by Enter in its focused field, waits for the answer, checks
// it with axe-core and returns its status block.
export async function pressEnter(page, label = page.url()) {
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  await checkA11y(page, `${label} (after Enter)`);
  return statusOf(page);
}

// Runs axe-core on the page and fails on every serious or critical violation.
export async function checkA11y(page, label = page.url()) {
  const results = await new AxeBuilder({ page }).analyze();
  const bad = results.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  assert.deepEqual(
    bad.map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`),
    [],
    `accessibility violations on ${label}`,
  );
}

// Starts the server and the browser, runs `body` with a context of helpers,
// stops everything, and prints the closing line the test runners read.
// `options.server` is handed to startServer, `options.context` to
// browser.newContext (e.g. httpCredentials; with `options.server.auth` the
// context signs in as that user unless it says otherwise); `options.timeoutMs`
// bounds the run.
export function runBrowserTest(name, body, options = {}) {
  const outDir = mustEnv('CFGOUT_E2E_OUT');
  const slug = name.replace(/[^a-z0-9]+/gi, '-').toLowerCase();
  let server = null;
  const watchdog = setTimeout(() => {
    console.error(`e2e ${name}: time limit reached`);
    if (server && server.child.exitCode === null) server.child.kill('SIGKILL');
    process.exit(2);
  }, options.timeoutMs || 170000);

  async function main() {
    fs.mkdirSync(outDir, { recursive: true });
    server = await startServer(slug, options.server || {});
    let browser;
    try {
      browser = await launchBrowser();
      // axe-core needs a page of an explicit browser context.
      const auth = (options.server || {}).auth;
      const context = await browser.newContext({
        viewport: { width: 1200, height: 1400 }, ...(auth ? { httpCredentials: auth } : {}), ...(options.context || {}),
      });
      const page = await context.newPage();
      page.setDefaultTimeout(15000);
      const { run, base } = server;
      const ctx = {
        page, context, browser, server, run, base, assert,
        url: (pageName) => `${base}/cgi-bin/cfgout/${pageName}`,
        // GET a configuration page and check it with axe-core.
        open: async (pageName) => {
          await page.goto(ctx.url(pageName));
          await checkA11y(page, pageName);
        },
        // Submit by clicking the named button (default "Apply"), wait for the
        // answer page, check it with axe-core, return its status block.
        submit: async (buttonName = 'Apply') => {
          await Promise.all([page.waitForNavigation(), page.getByRole('button', { name: buttonName, exact: true }).click()]);
          await checkA11y(page, `${page.url()} (after submit)`);
          return statusOf(page);
        },
        status: () => statusOf(page),
        checkA11y: (label) => checkA11y(page, label),
        readConfig: (file = 'proxy.conf') => fs.readFileSync(path.join(run, file), 'utf8'),
        screenshot: (file) => page.screenshot({ path: path.join(outDir, file), fullPage: true }),
        label: (text) => page.getByLabel(text, { exact: true }),
        rows: () => page.locator('table.list tbody tr'),
        // Replaces the text of the focused (or named) field with the keyboard only.
        typeInto: async (text, field) => {
          if (field) await ctx.label(field).focus();
          await page.keyboard.press('Control+A');
          await page.keyboard.type(text);
        },
        enter: () => pressEnter(page),
        // Submits (by a button's name, or a function that submits and returns the status), expects
        // the done status and checks every configuration file against its text before with `edits`
        // applied: per file a function of the old text, or a text to append.
        apply: async (edits = {}, how = 'Apply') => {
          const before = Object.fromEntries(CONFIG_FILES.map((f) => [f, ctx.readConfig(f)]));
          assert.deepEqual(typeof how === 'function' ? await how() : await ctx.submit(how), DONE_STATUS);
          for (const f of CONFIG_FILES) {
            const edit = edits[f] ?? ((t) => t);
            const expected = typeof edit === 'function' ? edit(before[f]) : before[f] + edit;
            if (edits[f] !== undefined) assert.notEqual(expected, before[f], `${f}: the edit changes nothing`);
            assert.equal(ctx.readConfig(f), expected, f);
          }
        },
        // Submits; expects an error status (and `message`, text or pattern) and no file changed.
        refused: async (message, how = 'Apply') => {
          const before = CONFIG_FILES.map((f) => ctx.readConfig(f));
          const status = await ctx.submit(how);
          assert.equal(status.kind, ERROR_KIND);
          if (typeof message === 'string') assert.equal(status.message, message);
          else if (message) assert.match(status.message, message);
          assert.deepEqual(CONFIG_FILES.map((f) => ctx.readConfig(f)), before);
        },
      };
      await body(ctx);
    } finally {
      if (browser) await browser.close();
      await stopServer(server && server.child);
    }
  }

  main().then(() => {
    clearTimeout(watchdog);
    console.log(`e2e ${name}: 1 passed, 0 failed`);
  }, (err) => {
    clearTimeout(watchdog);
    console.error(err);
    console.log(`e2e ${name}: 0 passed, 1 failed`);
    process.exit(1);
  });
}
