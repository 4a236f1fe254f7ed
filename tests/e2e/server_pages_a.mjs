// Browser test of the proxy mapping, upstream proxy, proxied protocol, cache
// cleaning, directory listing, log file, log archive and SNMP pages: each is
// opened from a fresh copy of the demo configuration, one setting is changed
// and submitted, and the test checks the status and the configuration files.
// On the proxy mapping page it adds, changes and deletes list rows.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('server pages a', async (ctx) => {
  const { page, assert, open, apply, label, run } = ctx;
  const rowsOf = (tableCaption) =>
    page.locator('table', { has: page.locator('caption', { hasText: tableCaption }) }).locator('tbody tr')
      .allInnerTexts();

  // ---- Proxy mapping: the two lists.
  await open('PROXMAP');
  assert.equal(await page.title(), 'Proxy mapping - Proxy configuration');
  assert.equal(await page.getByLabel('Cache local domain files').isChecked(), true);
  assert.deepEqual(await rowsOf('never keeps'), []);
  await page.getByLabel('Rule to add').selectOption('NoCaching');
  await page.locator('#CACHEONLY').fill('http://ads.example.com/*, http://track.example.com/*');
  await apply({ 'proxy.conf': 'NoCaching                    http://ads.example.com/*\n'
    + 'NoCaching                    http://track.example.com/*\n' }, 'Add rules');
  assert.deepEqual(await rowsOf('never keeps'),
    ['1\tDo not cache\thttp://ads.example.com/*', '2\tDo not cache\thttp://track.example.com/*']);

  // With no query rule yet, a new one goes to the end of the last file.
  await page.getByLabel('Mode').selectOption('always');
  await page.locator('#CACHEQUERIES').fill('http://search.example.com/*');
  await apply({ 'logging.conf': 'CacheQueries     always  http://search.example.com/*\n' }, 'Insert after row');
  assert.deepEqual(await rowsOf('query URLs'), ['1\tAlways\thttp://search.example.com/*']);

  // Change that row with the keyboard: choose the mode, type the pattern, press the button.
  await label('Row').selectOption('1');
  await page.getByLabel('Mode').selectOption('public');
  await page.locator('#CACHEQUERIES').fill('http://find.example.com/*');
  await page.getByRole('button', { name: 'Change row' }).focus();
  await apply({ 'logging.conf': (t) => t.replace('always  http://search.', 'public  http://find.') }, ctx.enter);

  // Delete the query row and the first no-caching row.
  await apply({ 'logging.conf': (t) => t.replace('CacheQueries     public  http://find.example.com/*\n', '') },
    'Delete query rule');
  await page.getByLabel('Row to delete').selectOption('1');
  await apply({ 'proxy.conf': (t) => t.replace('NoCaching                    http://ads.example.com/*\n', '') },
    'Delete rule');
  assert.deepEqual(await rowsOf('never keeps'), ['1\tDo not cache\thttp://track.example.com/*']);
  await ctx.screenshot('proxmap-done.png');

  // ---- Upstream proxies.
  await open('PROXPROX');
  await page.getByLabel('HTTP proxy').fill('http://upstream.example.com:3128/');
  await apply({ 'proxy.conf': 'http_proxy     http://upstream.example.com:3128/\n' });
  assert.equal((await page.getByLabel('HTTP proxy').inputValue()).trim(), 'http://upstream.example.com:3128/');

  // ---- Proxied protocols: stop proxying FTP. The form also sends the
  // tunnelling switch (off), which is written.
  await open('PROXSERV');
  assert.equal(await label('HTTP').isChecked(), true);
  await label('FTP').uncheck();
  await apply({ 'proxy.conf': (t) => `${t.replace('Proxy           ftp:*\n', '')}SSLTunneling       off\n` });
  assert.equal(await label('FTP').isChecked(), false);

  // ---- Cache cleaning: a new interval goes to the end of the last file.
  await open('PROXTIME');
  await page.getByLabel('Clean the cache every').fill('12');
  await page.getByLabel('Unit of the cleaning interval').selectOption('hours');
  await apply({ 'logging.conf': 'CacheClean 12 hours\n' });

  // ---- Directory listings: hide hidden files (the shown defaults are written too).
  await open('LISTCNTS');
  await page.getByLabel('Hidden files').uncheck();
  await apply({ 'proxy.conf': 'DirShowDate       on\nDirShowCase       on\nDirShowSize       on\nDirShowBytes       off\n'
    + 'DirShowHidden       off\nDirShowDescription       on\nDirShowMaxDescrLength       25\nDirShowMinLength       15\n'
    + 'DirShowMaxLength       25\n' });
  assert.equal(await page.getByLabel('Hidden files').isChecked(), false);

  // ---- Log files: a new error log.
  await open('LOGFILES');
  await page.getByLabel('Error log').fill(`${run}/logs/errors.log`);
  await apply({ 'logging.conf': (t) => t.replace(/^ErrorLog .*\n/m, `ErrorLog       ${run}/logs/errors.log\n`),
    'proxy.conf': 'LogToSysLog       off\n' });

  // ---- Log archiving: delete old logs instead of compressing them.
  await open('ARCHIVE');
  assert.equal(await page.getByLabel('Old log files are').inputValue(), 'Compress');
  await page.getByLabel('Old log files are').selectOption('Purge');
  await apply({ 'logging.conf': (t) => t.replace(/^LogArchive .*\n/m, 'LogArchive       Purge\n'),
    'proxy.conf': 'PurgeAge       0\nPurgeSize       0\n' });
  assert.equal(await page.getByLabel('Old log files are').inputValue(), 'Purge');

  // ---- SNMP: switch the agent on.
  await open('SNMPMIB');
  await page.getByLabel('Answer SNMP requests').check();
  await apply({ 'proxy.conf': 'SNMP       on\nSNMPCommunity       public\nWebMasterEMail       webmaster\n' });
  assert.equal(await page.getByLabel('Community name').inputValue(), 'public');

  // A rejected value shows its message and changes nothing.
  await open('LOGFILES');
  await label('Access log').fill('c:/logs/access.log');
  await ctx.refused();
});
