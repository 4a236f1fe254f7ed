// Browser test of the method, user method, access log filter, API request and
// API mapping pages: the real cfgout behind lighttpd over the demo
// configuration (with one user method added), one change on each page, and
// the configuration files checked after each.
import fs from 'node:fs';
import path from 'node:path';
import { runBrowserTest } from './harness.mjs';

const USER_METHOD = 'Enable PROPFIND /cgi-bin/dav.cgi   # WebDAV\n';

runBrowserTest('access pages a', async ({ page, open, apply, label, rows, assert, screenshot }) => {
  // Methods: every method is accepted while none has a line; refuse TRACE.
  // New Enable lines go to the end of the last file; the Disable line goes
  // before the first Enable line, and CONNECT's before the first Disable line.
  await open('METHENAB');
  assert.equal(await label('Accept GET').isChecked(), true);
  assert.equal(await label('Accept TRACE').isChecked(), true);
  await label('Accept TRACE').uncheck();
  await label('Handler for PUT').fill('/cgi-bin/put.cgi');
  await apply({
    'proxy.conf': (t) => t.replace(USER_METHOD, `Enable       CONNECT\nDisable      TRACE\n${USER_METHOD}`),
    'logging.conf': 'Enable       GET\nEnable       HEAD\nEnable       POST\n'
      + 'Enable       PUT       /cgi-bin/put.cgi\nEnable       DELETE\nEnable       OPTIONS\n',
  });
  assert.equal(await label('Accept TRACE').isChecked(), false);
  assert.equal(await label('Handler for PUT').inputValue(), '/cgi-bin/put.cgi');
  await screenshot('methods.png');

  // User methods: insert MKCOL after row 1.
  await open('USERMETH');
  assert.equal(await rows().count(), 1);
  await label('Action').selectOption('2');
  await label('Row').selectOption('1');
  await label('Method').fill('mkcol');
  await apply({ 'proxy.conf': (t) => t.replace(USER_METHOD, `${USER_METHOD}Enable       MKCOL\n`) });
  assert.deepEqual(await page.locator('table.list tbody td:nth-child(2)').allTextContents(), ['PROPFIND', 'MKCOL']);
  await screenshot('user-methods.png');

  // Access log filters: one URL pattern and the GET box.
  await open('ACCCONF');
  await label('GET').check();
  await page.locator('#ACTIONA').selectOption('2');
  await label('URL patterns').fill('/icons/*');
  await apply({ 'proxy.conf': 'AccessLogExcludeMethod       GET\n', 'logging.conf': 'AccessLogExcludeUrl       /icons/*\n' });
  assert.equal(await label('GET').isChecked(), true);
  assert.equal(await page.locator('table.list').first().locator('tbody td:nth-child(2)').textContent(), '/icons/*');
  await screenshot('access-log-filters.png');

  // API request -> API mapping: choose NameTrans, fill its fields, add it.
  await open('APIREQ');
  assert.equal(await page.getByText('Choose a step above to see its fields.').isVisible(), true);
  await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: 'NameTrans', exact: true }).click()]);
  await open('APIREQ?4');
  assert.equal(await page.getByRole('link', { name: 'NameTrans', exact: true }).getAttribute('aria-current'), 'step');
  await label('URL Template').fill('/plugin/*');
  await label('Application File').fill('/opt/plugins/p.so');
  await label('Function Name').fill('translate');
  await screenshot('api-request.png');
  await apply({ 'logging.conf': 'NameTrans     /plugin/*   /opt/plugins/p.so:translate\n' });
  assert.match(page.url(), /\/APIMAP$/);
  assert.deepEqual(await rows().first().locator('td').allTextContents(),
    ['1', 'NameTrans', '/plugin/*', '/opt/plugins/p.so:translate']);
  await screenshot('api-mapping.png');

  // And delete it again from the mapping page.
  await label('Row').selectOption('1');
  await apply({ 'logging.conf': (t) => t.replace('NameTrans     /plugin/*   /opt/plugins/p.so:translate\n', '') }, 'Delete');
  assert.equal(await rows().count(), 0);
}, { server: { prepare: (run) => fs.appendFileSync(path.join(run, 'proxy.conf'), USER_METHOD) } });
