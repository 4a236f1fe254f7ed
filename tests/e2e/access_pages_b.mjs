// Browser test of the list pages for types, encodings, directory icons,
// welcome pages, error pages, last-modified factors and mapping rules: the
// real cfgout behind lighttpd over a copy of the demo configuration. Each
// page gets one change through its form, and the test checks the files; on
// the mapping rules page a rule is inserted after row 1, changed, deleted.
import { DONE, runBrowserTest } from './harness.mjs';

runBrowserTest('list pages', async ({ page, assert, open, submit, status, readConfig, checkA11y, screenshot }) => {
  const label = (text) => page.getByLabel(text, { exact: true });
  const done = async () => assert.deepEqual(await submit(), { message: DONE, kind: 'status-kind status-1' });
  // The demo has no such rules: new ones go to the end of the last file.
  let logging = readConfig('logging.conf');
  const appendsToLogging = async (line) => {
    logging += line;
    assert.equal(readConfig('logging.conf'), logging);
  };

  // Types: a new type into the empty list.
  await open('ADDTYPE');
  assert.equal(await page.title(), 'Types - Proxy configuration');
  assert.equal(await page.locator('table.list tbody tr').count(), 0);
  await label('Suffix').fill('.css');
  await label('MIME type').fill('text/css');
  await label('Encoding').selectOption('8bit');
  await label('Quality').fill('1.0');
  await done();
  await appendsToLogging('AddType        .css  text/css  8bit  1.0\n');
  assert.equal(await page.locator('table.list tbody tr').count(), 1);
  assert.equal(await page.locator('table.list tbody td').nth(1).textContent(), '.css');

  // Encodings.
  await open('ADDENCOD');
  await label('Suffix').fill('.gz');
  await label('Encoding').fill('x-gzip');
  await done();
  await appendsToLogging('AddEncoding       .gz  x-gzip  1.0\n');

  // Welcome pages, with an address.
  await open('INITPAGE');
  await label('File name').fill('index.html');
  await label('Address (optional)').fill('10.1.2.3');
  await done();
  await appendsToLogging('Welcome    index.html 10.1.2.3\n');

  // Error pages, with the keyboard only: from the navigation to the page,
  // through its fields, and Enter submits.
  await page.getByRole('link', { name: 'Error pages', exact: true }).focus();
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  await checkA11y('ERRCUST');
  await label('Error condition').focus();
  await page.keyboard.type('notfound');
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'ERRORPAGEB');
  await page.keyboard.type('/errors/404.html');
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  assert.deepEqual(await status(), { message: DONE, kind: 'status-kind status-1' });
  await appendsToLogging('ErrorPage        notfound /errors/404.html\n');

  // Directory icons: listings without icons and another folder icon. The
  // form posts every special icon, so the ones shown with their defaults are
  // written too, after the main file's last line.
  const proxy = readConfig();
  await open('DIRICONS');
  assert.equal(await page.locator('#ADDDIRICONA').inputValue(), 'dir.gif');
  await label('Show an icon in front of every entry').uncheck();
  await page.locator('#ADDDIRICONA').fill('/icons/folder.gif');
  await done();
  assert.equal(readConfig(), proxy + 'DirShowIcons       off\nAddDirIcon       /icons/folder.gif DIR\n'
    + 'AddParentIcon       dir-up.gif UP\nAddUnknownIcon       unknown.gif ???\nAddBlankIcon       blank.gif \n');
  assert.equal(await label('Show an icon in front of every entry').isChecked(), false);
  assert.equal(await page.locator('#ADDDIRICONA').inputValue(), '/icons/folder.gif');
  await screenshot('directory-icons-done.png');

  // Last-modified factors: a factor after row 1 (in the included cache file).
  const caching = readConfig('caching.conf');
  await open('LMF');
  assert.equal(await label('Factor').inputValue(), '0.14');
  await label('Selected row').selectOption('1');
  await label('URL pattern').fill('http://*/*.png');
  await label('Factor').selectOption('0.25');
  await done();
  assert.equal(readConfig('caching.conf'), caching.replace('http://*/ 0.10\n',
    'http://*/ 0.10\nCacheLastModifiedFactor   http://*/*.png   0.25\n'));

  // Mapping rules: insert after row 1, change the new row 2, delete it.
  const mapping = readConfig();
  const rulesWith = (line) => mapping.replace('Proxy           http:*\n', `Proxy           http:*\n${line}`);
  await open('MPFRULE');
  const rows = page.locator('table.list tbody tr');
  assert.equal(await rows.count(), 4);
  await label('Action').selectOption('2');
  await label('Selected row').selectOption('1');
  await label('Rule').selectOption('Pass');
  await label('Request template').fill('/docs/*');
  await label('Replacement').fill('/srv/docs/*');
  await done();
  assert.equal(readConfig(), rulesWith('Pass       /docs/*  /srv/docs/*\n'));
  assert.equal(await rows.count(), 5);
  await screenshot('mapping-rules-inserted.png');
  assert.equal(await rows.nth(1).locator('td').nth(2).textContent(), '/docs/*');

  await label('Action').selectOption('3');
  await label('Selected row').selectOption('2');
  await label('Rule').selectOption('Map');
  await label('Request template').fill('/docs/*');
  await label('Replacement').fill('/srv/www/docs/*');
  await done();
  assert.equal(readConfig(), rulesWith('Map       /docs/*  /srv/www/docs/*\n'));

  await label('Action').selectOption('4');
  await label('Selected row').selectOption('2');
  await done();
  assert.equal(readConfig(), mapping);
  assert.equal(await rows.count(), 4);

  // A rule without its template is refused and nothing is written.
  await label('Action').selectOption('2');
  const refused = await submit();
  assert.equal(refused.kind, 'status-kind status-3');
  assert.equal(refused.message, 'No URL request template was entered');
  assert.equal(readConfig(), mapping);
});
