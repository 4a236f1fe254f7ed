// Browser test of the method, user method, access log filter, API request and
// API mapping pages: the real cfgout behind lighttpd over the demo
// configuration (with one user method added), one change on each page, and
// the configuration files checked after each.
import fs from 'node:fs';
import path from 'node:path';
import { DONE, runBrowserTest } from './harness.mjs';

const USER_METHOD = 'Enable PROPFIND /cgi-bin/dav.cgi   # WebDAV\n';

runBrowserTest('access pages a', async ({ page, open, submit, assert, readConfig, screenshot }) => {
  const mainBefore = readConfig();
  const loggingBefore = readConfig('logging.conf');
  const done = { message: DONE, kind: 'status-kind status-1' };

  // Methods: every method is accepted while none has a line; refuse TRACE.
  await open('METHENAB');
  assert.equal(await page.getByLabel('Accept GET', { exact: true }).isChecked(), true);
  assert.equal(await page.getByLabel('Accept TRACE', { exact: true }).isChecked(), true);
  await page.getByLabel('Accept TRACE', { exact: true }).uncheck();
  await page.getByLabel('Handler for PUT', { exact: true }).fill('/cgi-bin/put.cgi');
  assert.deepEqual(await submit(), done);
  assert.equal(await page.getByLabel('Accept TRACE', { exact: true }).isChecked(), false);
  assert.equal(await page.getByLabel('Handler for PUT', { exact: true }).inputValue(), '/cgi-bin/put.cgi');
  await screenshot('methods.png');
  // New Enable lines go to the end of the last file; the Disable line goes
  // before the first Enable line, and CONNECT's before the first Disable line.
  const mainMethods = mainBefore.replace(USER_METHOD, `Enable       CONNECT\nDisable      TRACE\n${USER_METHOD}`);
  assert.equal(readConfig(), mainMethods);
  const loggingMethods = `${loggingBefore}Enable       GET\nEnable       HEAD\nEnable       POST\n`
    + 'Enable       PUT       /cgi-bin/put.cgi\nEnable       DELETE\nEnable       OPTIONS\n';
  assert.equal(readConfig('logging.conf'), loggingMethods);

  // User methods: insert MKCOL after row 1.
  await open('USERMETH');
  assert.equal(await page.locator('table.list tbody tr').count(), 1);
  await page.getByLabel('Action', { exact: true }).selectOption('2');
  await page.getByLabel('Row', { exact: true }).selectOption('1');
  await page.getByLabel('Method', { exact: true }).fill('mkcol');
  assert.deepEqual(await submit(), done);
  assert.deepEqual(await page.locator('table.list tbody td:nth-child(2)').allTextContents(), ['PROPFIND', 'MKCOL']);
  assert.equal(readConfig(), mainMethods.replace(USER_METHOD, `${USER_METHOD}Enable       MKCOL\n`));
  const mainUser = readConfig();
  await screenshot('user-methods.png');

  // Access log filters: one URL pattern and the GET box.
  await open('ACCCONF');
  await page.getByLabel('GET', { exact: true }).check();
  await page.locator('#ACTIONA').selectOption('2');
  await page.getByLabel('URL patterns', { exact: true }).fill('/icons/*');
  assert.deepEqual(await submit(), done);
  assert.equal(await page.getByLabel('GET', { exact: true }).isChecked(), true);
  assert.equal(await page.locator('table.list').first().locator('tbody td:nth-child(2)').textContent(), '/icons/*');
  assert.equal(readConfig(), `${mainUser}AccessLogExcludeMethod       GET\n`);
  const loggingFilters = `${loggingMethods}AccessLogExcludeUrl       /icons/*\n`;
  assert.equal(readConfig('logging.conf'), loggingFilters);
  await screenshot('access-log-filters.png');

  // API request -> API mapping: choose NameTrans, fill its fields, add it.
  await open('APIREQ');
  assert.equal(await page.getByText('Choose a step above to see its fields.').isVisible(), true);
  await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: 'NameTrans', exact: true }).click()]);
  await open('APIREQ?4');
  assert.equal(await page.getByRole('link', { name: 'NameTrans', exact: true }).getAttribute('aria-current'), 'step');
  await page.getByLabel('URL Template', { exact: true }).fill('/plugin/*');
  await page.getByLabel('Application File', { exact: true }).fill('/opt/plugins/p.so');
  await page.getByLabel('Function Name', { exact: true }).fill('translate');
  await screenshot('api-request.png');
  assert.deepEqual(await submit(), done);
  assert.match(page.url(), /\/APIMAP$/);
  assert.deepEqual(await page.locator('table.list tbody tr').first().locator('td').allTextContents(),
    ['1', 'NameTrans', '/plugin/*', '/opt/plugins/p.so:translate']);
  await screenshot('api-mapping.png');
  const loggingApi = `${loggingFilters}NameTrans     /plugin/*   /opt/plugins/p.so:translate\n`;
  assert.equal(readConfig('logging.conf'), loggingApi);

  // And delete it again from the mapping page.
  await page.getByLabel('Row', { exact: true }).selectOption('1');
  assert.deepEqual(await submit('Delete'), done);
  assert.equal(await page.locator('table.list tbody tr').count(), 0);
  assert.equal(readConfig('logging.conf'), loggingFilters);
  assert.equal(readConfig(), `${mainUser}AccessLogExcludeMethod       GET\n`);
}, {
  server: {
    prepare: (run) => fs.appendFileSync(path.join(run, 'proxy.conf'), USER_METHOD),
  },
});
