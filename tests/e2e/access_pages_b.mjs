// Browser test of the list pages for types, encodings, directory icons,
// welcome pages, error pages, last-modified factors and mapping rules: the
// real cfgout behind lighttpd over a copy of the demo configuration. Each
// page gets one change through its form, and the test checks the files; on
// the mapping rules page a rule is inserted after row 1, changed, deleted.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('list pages', async ({ page, assert, open, apply, refused, label, rows, enter, checkA11y, screenshot }) => {
  // Types: a new type into the empty list. The demo has no such rules: new
  // ones go to the end of the last file.
  await open('ADDTYPE');
  assert.equal(await page.title(), 'Types - Proxy configuration');
  assert.equal(await rows().count(), 0);
  await label('Suffix').fill('.css');
  await label('MIME type').fill('text/css');
  await label('Encoding').selectOption('8bit');
  await label('Quality').fill('1.0');
  await apply({ 'logging.conf': 'AddType        .css  text/css  8bit  1.0\n' });
  assert.equal(await rows().count(), 1);
  assert.equal(await page.locator('table.list tbody td').nth(1).textContent(), '.css');

  // Encodings.
  await open('ADDENCOD');
  await label('Suffix').fill('.gz');
  await label('Encoding').fill('x-gzip');
  await apply({ 'logging.conf': 'AddEncoding       .gz  x-gzip  1.0\n' });

  // Welcome pages, with an address.
  await open('INITPAGE');
  await label('File name').fill('index.html');
  await label('Address (optional)').fill('10.1.2.3');
  await apply({ 'logging.conf': 'Welcome    index.html 10.1.2.3\n' });

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
  await apply({ 'logging.conf': 'ErrorPage        notfound /errors/404.html\n' }, enter);

  // Directory icons: listings without icons and another folder icon. The
  // form posts every special icon, so the ones shown with their defaults are
  // written too, after the main file's last line.
  await open('DIRICONS');
  assert.equal(await page.locator('#ADDDIRICONA').inputValue(), 'dir.gif');
  await label('Show an icon in front of every entry').uncheck();
  await page.locator('#ADDDIRICONA').fill('/icons/folder.gif');
  await apply({ 'proxy.conf': 'DirShowIcons       off\nAddDirIcon       /icons/folder.gif DIR\n'
    + 'AddParentIcon       dir-up.gif UP\nAddUnknownIcon       unknown.gif ???\nAddBlankIcon       blank.gif \n' });
  assert.equal(await label('Show an icon in front of every entry').isChecked(), false);
  assert.equal(await page.locator('#ADDDIRICONA').inputValue(), '/icons/folder.gif');
  await screenshot('directory-icons-done.png');

  // Last-modified factors: a factor after row 1 (in the included cache file).
  await open('LMF');
  assert.equal(await label('Factor').inputValue(), '0.14');
  await label('Selected row').selectOption('1');
  await label('URL pattern').fill('http://*/*.png');
  await label('Factor').selectOption('0.25');
  await apply({ 'caching.conf': (t) => t.replace('http://*/ 0.10\n',
    'http://*/ 0.10\nCacheLastModifiedFactor   http://*/*.png   0.25\n') });

  // Mapping rules: insert after row 1, change the new row 2, delete it.
  const after = (line) => (t) => t.replace('Proxy           http:*\n', `Proxy           http:*\n${line}`);
  await open('MPFRULE');
  assert.equal(await rows().count(), 4);
  const rule = async (action, row, kind, template, replacement) => {
    await label('Action').selectOption(action);
    await label('Selected row').selectOption(row);
    if (kind) await label('Rule').selectOption(kind);
    if (template) await label('Request template').fill(template);
    if (replacement) await label('Replacement').fill(replacement);
  };
  await rule('2', '1', 'Pass', '/docs/*', '/srv/docs/*');
  await apply({ 'proxy.conf': after('Pass       /docs/*  /srv/docs/*\n') });
  assert.equal(await rows().count(), 5);
  await screenshot('mapping-rules-inserted.png');
  assert.equal(await rows().nth(1).locator('td').nth(2).textContent(), '/docs/*');
  await rule('3', '2', 'Map', '/docs/*', '/srv/www/docs/*');
  await apply({ 'proxy.conf': (t) => t.replace('Pass       /docs/*  /srv/docs/*\n', 'Map       /docs/*  /srv/www/docs/*\n') });
  await rule('4', '2');
  await apply({ 'proxy.conf': (t) => t.replace('Map       /docs/*  /srv/www/docs/*\n', '') });
  assert.equal(await rows().count(), 4);

  // A rule without its template is refused and nothing is written.
  await label('Action').selectOption('2');
  await refused('No URL request template was entered');
});
