// Browser test of the timeout, performance, proxy behaviour, proxy caching,
// cache expiry and garbage collection pages: each is opened from the demo
// configuration, one setting is changed, the form is submitted, the done
// status shows and the files hold exactly the expected change. On the proxy
// behaviour page a list row is added and deleted again.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('server pages b', async ({ page, assert, open, apply, label, rows, typeInto, enter, screenshot }) => {
  // ---- Timeouts: script time-out from 5 to 10 minutes. Unchanged spans are
  // the same words as their lines, which therefore stay as written.
  await open('TIMEOUT');
  assert.equal(await page.title(), 'Timeouts - Proxy configuration');
  assert.equal(await page.locator('#INPUTTIMEOUTMINS').inputValue(), '2');
  assert.equal(await page.locator('#PERSISTTIMEOUTSECS').inputValue(), '4');
  await page.locator('#SCRIPTTIMEOUTMINS').selectOption('10');
  await apply({ 'proxy.conf': (t) => t.replace(/^ScriptTimeout {3}5 minutes\n/m, 'ScriptTimeout        10 minutes \n') });
  assert.equal(await page.locator('#SCRIPTTIMEOUTMINS').inputValue(), '10');
  await screenshot('timeout-done.png');

  // ---- Performance: the listen backlog; the shown default of the requests
  // per connection is written along with it.
  await open('PERFORMA');
  assert.equal(await label('Active threads').inputValue(), '40');
  await label('Listen backlog').fill('256');
  await apply({
    'proxy.conf': (t) => `${t.replace(/^ListenBacklog {4}128\n/m, 'ListenBacklog       256\n')}MaxPersistRequest       5\n`,
  });

  // ---- Proxy behaviour: add a pattern to the list, then delete its row.
  await open('PROXBEHA');
  assert.equal(await rows().count(), 0);
  await label('Patterns to add').fill('http://www.example.com/*');
  await apply({
    'proxy.conf': 'ProxyIgnoreNoCache       off\nContinueCaching       75\nCacheByIncomingUrl       off\n'
      + 'AggressiveCaching            http://www.example.com/*\n',
  });
  assert.deepEqual(await page.locator('table.list tbody td').allTextContents(), ['1', 'http://www.example.com/*']);
  await label('Delete the row chosen below').check();
  await label('Row to delete').selectOption('1');
  await apply({ 'proxy.conf': (t) => t.replace('AggressiveCaching            http://www.example.com/*\n', '') });
  assert.equal(await rows().count(), 0);
  await screenshot('proxbeha-done.png');

  // ---- Proxy caching: the memory cache size, keeping its unit.
  await open('PROXCACH');
  assert.equal(await label('Memory cache size').inputValue(), '64');
  assert.equal(await page.locator('#CACHEMEMORYUNIT').inputValue(), 'M');
  await label('Memory cache size').fill('128');
  await apply({
    'caching.conf': (t) => t.replace(/^CacheMemory {9}64 M\n/m, 'CacheMemory       128 M\n'),
    'proxy.conf': 'CacheFileSizeLimit       4000 K\n',
  });

  // ---- Cache expiry: unused HTTP documents from 3 to 5 days. Each pattern
  // line posted is rewritten in place; the shown defaults are written.
  await open('PROXEXP');
  assert.equal(await page.getByLabel('HTTP documents', { exact: true }).first().inputValue(), '3');
  await page.locator('#CACHEUNUSEDHTTP').fill('5');
  await apply({
    'caching.conf': (t) => t
      .replace(/^CacheDefaultExpiry {2}ftp:\* {4}1 day\n/m, 'CacheDefaultExpiry   ftp:*  1  days\n')
      .replace(/^CacheDefaultExpiry {2}gopher:\* 1 day\n/m, 'CacheDefaultExpiry   gopher:*  1  days\n')
      .replace(/^CacheUnused {9}http:\* {3}3 days\n/m, 'CacheUnused   http:*  5  days\n'),
    'proxy.conf': 'CacheExpiryCheck       on\nCacheNoConnect       off\nCacheTimeMargin       2\n',
  });
  assert.equal(await page.locator('#CACHEUNUSEDHTTP').inputValue(), '5');
  await screenshot('proxexp-done.png');

  // ---- Garbage collection, with the keyboard only: the low water mark.
  await open('PROXGC');
  assert.equal(await label('Remove documents from a full cache').isChecked(), true);
  assert.equal(await page.locator('select[name="cacheAlgorithm"]').inputValue(), 'bandwidth');
  await typeInto('50', 'Low water mark');
  await apply({
    'caching.conf': (t) => t.replace(/^GcLowWater {10}60\n/m, 'GcLowWater    50\n'),
    'proxy.conf': 'cacheAlgorithm       bandwidth\n',
  }, enter);
  assert.equal(await label('Low water mark').inputValue(), '50');
  await screenshot('proxgc-done.png');
});
