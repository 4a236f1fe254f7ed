// Browser test of the proxy mapping, upstream proxy, proxied protocol, cache
// cleaning, directory listing, log file, log archive and SNMP pages: each is
// opened from a fresh copy of the demo configuration, one setting is changed
// and submitted, and the test checks the status and the configuration files.
// On the proxy mapping page it adds, changes and deletes list rows.
import { DONE, runBrowserTest } from './harness.mjs';

runBrowserTest('server pages a', async (ctx) => {
  const { page, assert, open, submit, readConfig, run } = ctx;
  const done = { message: DONE, kind: 'status-kind status-1' };
  const rowsOf = (tableCaption) =>
    page.locator('table', { has: page.locator('caption', { hasText: tableCaption }) }).locator('tbody tr')
      .allInnerTexts();

  // ---- Proxy mapping: the two lists.
  let main = readConfig();
  let logging = readConfig('logging.conf');
  await open('PROXMAP');
  assert.equal(await page.title(), 'Proxy mapping - Proxy configuration');
  assert.equal(await page.getByLabel('Cache local domain files').isChecked(), true);
  assert.deepEqual(await rowsOf('never keeps'), []);
  await page.getByLabel('Rule to add').selectOption('NoCaching');
  await page.locator('#CACHEONLY').fill('http://ads.example.com/*, http://track.example.com/*');
  assert.deepEqual(await submit('Add rules'), done);
  const noCaching = 'NoCaching                    http://ads.example.com/*\n'
    + 'NoCaching                    http://track.example.com/*\n';
  assert.equal(readConfig(), main + noCaching);
  assert.deepEqual(await rowsOf('never keeps'),
    ['1\tDo not cache\thttp://ads.example.com/*', '2\tDo not cache\thttp://track.example.com/*']);

  // With no query rule yet, a new one goes to the end of the last file.
  await page.getByLabel('Mode').selectOption('always');
  await page.locator('#CACHEQUERIES').fill('http://search.example.com/*');
  assert.deepEqual(await submit('Insert after row'), done);
  assert.equal(readConfig('logging.conf'), logging + 'CacheQueries     always  http://search.example.com/*\n');
  assert.deepEqual(await rowsOf('query URLs'), ['1\tAlways\thttp://search.example.com/*']);

  // Change that row with the keyboard: choose the mode, type the pattern, press the button.
  await page.getByLabel('Row', { exact: true }).selectOption('1');
  await page.getByLabel('Mode').selectOption('public');
  await page.locator('#CACHEQUERIES').fill('http://find.example.com/*');
  await page.getByRole('button', { name: 'Change row' }).focus();
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  await ctx.checkA11y('PROXMAP (changed)');
  assert.deepEqual(await ctx.status(), done);
  assert.equal(readConfig('logging.conf'), logging + 'CacheQueries     public  http://find.example.com/*\n');

  // Delete the query row and the first no-caching row.
  assert.deepEqual(await submit('Delete query rule'), done);
  assert.equal(readConfig('logging.conf'), logging);
  await page.getByLabel('Row to delete').selectOption('1');
  assert.deepEqual(await submit('Delete rule'), done);
  assert.equal(readConfig(), main + 'NoCaching                    http://track.example.com/*\n');
  assert.deepEqual(await rowsOf('never keeps'), ['1\tDo not cache\thttp://track.example.com/*']);
  await ctx.screenshot('proxmap-done.png');

  // ---- Upstream proxies.
  main = readConfig();
  await open('PROXPROX');
  await page.getByLabel('HTTP proxy').fill('http://upstream.example.com:3128/');
  assert.deepEqual(await submit('Apply'), done);
  assert.equal(readConfig(), main + 'http_proxy     http://upstream.example.com:3128/\n');
  assert.equal((await page.getByLabel('HTTP proxy').inputValue()).trim(), 'http://upstream.example.com:3128/');

  // ---- Proxied protocols: stop proxying FTP.
  main = readConfig();
  await open('PROXSERV');
  assert.equal(await page.getByLabel('HTTP', { exact: true }).isChecked(), true);
  await page.getByLabel('FTP', { exact: true }).uncheck();
  assert.deepEqual(await submit('Apply'), done);
  // The form also sends the tunnelling switch (off), which is written.
  assert.equal(readConfig(), main.replace('Proxy           ftp:*\n', '') + 'SSLTunneling       off\n');
  assert.equal(await page.getByLabel('FTP', { exact: true }).isChecked(), false);

  // ---- Cache cleaning: a new interval goes to the end of the last file.
  logging = readConfig('logging.conf');
  await open('PROXTIME');
  await page.getByLabel('Clean the cache every').fill('12');
  await page.getByLabel('Unit of the cleaning interval').selectOption('hours');
  assert.deepEqual(await submit('Apply'), done);
  assert.equal(readConfig('logging.conf'), logging + 'CacheClean 12 hours\n');

  // ---- Directory listings: hide hidden files.
  main = readConfig();
  await open('LISTCNTS');
  await page.getByLabel('Hidden files').uncheck();
  assert.deepEqual(await submit('Apply'), done);
  assert.match(readConfig(), /\nDirShowHidden {7}off\n/);
  assert.equal(await page.getByLabel('Hidden files').isChecked(), false);

  // ---- Log files: a new error log.
  logging = readConfig('logging.conf');
  await open('LOGFILES');
  await page.getByLabel('Error log').fill(`${run}/logs/errors.log`);
  assert.deepEqual(await submit('Apply'), done);
  assert.equal(readConfig('logging.conf'),
    logging.replace(/^ErrorLog .*\n/m, `ErrorLog       ${run}/logs/errors.log\n`));

  // ---- Log archiving: delete old logs instead of compressing them.
  logging = readConfig('logging.conf');
  await open('ARCHIVE');
  assert.equal(await page.getByLabel('Old log files are').inputValue(), 'Compress');
  await page.getByLabel('Old log files are').selectOption('Purge');
  assert.deepEqual(await submit('Apply'), done);
  assert.equal(readConfig('logging.conf'), logging.replace(/^LogArchive .*\n/m, 'LogArchive       Purge\n'));
  assert.equal(await page.getByLabel('Old log files are').inputValue(), 'Purge');

  // ---- SNMP: switch the agent on.
  await open('SNMPMIB');
  await page.getByLabel('Answer SNMP requests').check();
  assert.deepEqual(await submit('Apply'), done);
  assert.match(readConfig(), /\nSNMP {7}on\n/);
  assert.equal(await page.getByLabel('Community name').inputValue(), 'public');

  // A rejected value shows its message and changes nothing.
  const before = readConfig('logging.conf');
  await open('LOGFILES');
  await page.getByLabel('Access log', { exact: true }).fill('c:/logs/access.log');
  const refused = await submit('Apply');
  assert.equal(refused.kind, 'status-kind status-3');
  assert.equal(readConfig('logging.conf'), before);
});
