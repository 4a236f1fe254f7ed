// Browser test of the document protection pages: the real cfgout behind
// lighttpd over a copy of the demo configuration. Chromium creates a
// password protection for a path, finds it in the list, edits its masks and
// deletes it; the configuration files are checked after every step.
import { DONE, runBrowserTest } from './harness.mjs';

runBrowserTest('protection pages', async ({ page, assert, open, submit, readConfig, screenshot }) => {
  const mainFile = readConfig('proxy.conf');
  const lastFile = readConfig('logging.conf');
  const rows = () => page.locator('table.list tbody tr');
  const label = (text) => page.getByLabel(text, { exact: true });

  // The demo has no protection yet: an empty list.
  await open('DOCAUTOS');
  assert.equal(await page.title(), 'Document protection - Proxy configuration');
  assert.equal(await rows().count(), 0);

  // Create: an inline protection with a password file, typed with the keyboard.
  await label('URL request template').focus();
  await page.keyboard.type('/private/*');
  assert.equal(await label('Insert a protection before the row').isChecked(), true);
  assert.equal(await label('User name and password').isChecked(), true);
  // The setup name is for a named setup only.
  assert.equal(await label('Protection setup name').isDisabled(), true);
  await label('As a named protection setup').check();
  assert.equal(await label('Protection setup name').isDisabled(), false);
  await label('Inline, with the rule itself').check();
  let shown = await submit('Continue');
  assert.equal(await page.title(), 'Protection - Proxy configuration');
  assert.deepEqual(shown, { message: 'Ready', kind: 'status-kind status-0' });
  assert.equal(await label('URL request template').inputValue(), '/private/*');
  await label('Realm').fill('Private');
  await label('Password file').fill('/etc/proxy/private.pwd');
  await label('Who may read and post').fill('All@(*)');
  shown = await submit('Apply');
  assert.deepEqual(shown, { message: DONE, kind: 'status-kind status-1' });
  await screenshot('protection-created.png');

  // The new protection goes to the last configuration file, which has no
  // mapping rule to stand in front of: at its top.
  const created =
    'Protect  /private/*  {\n' +
    '      PasswdFile   /etc/proxy/private.pwd\n' +
    '      PostMask     All@(*)\n' +
    '      GetMask      All@(*)\n' +
    '      AuthType     Basic\n' +
    '      ServerID     Private\n' +
    '}\n';
  assert.equal(readConfig('logging.conf'), created + lastFile);
  assert.equal(readConfig('proxy.conf'), mainFile);

  // Listed as row 1.
  assert.equal(await rows().count(), 1);
  assert.deepEqual(await rows().first().locator('td').allTextContents(), ['1', '/private/*']);

  // A rejected password file changes nothing (the client certificate
  // group is on the page too, checked with the rest).
  await label('Edit the row').check();
  await label('Row').selectOption('1');
  // Choosing the row to edit fills in its template.
  assert.equal(await label('URL request template').inputValue(), '/private/*');
  assert.equal(await label('Inline, with the rule itself').isChecked(), true);
  await label('Client certificate').check();
  await submit('Continue');
  assert.equal(await label('SSL client authentication').isChecked(), false);
  await label('SSL client authentication').check();
  await label('Subject organization').fill('Example Org');
  await screenshot('protection-form.png');
  assert.equal(await label('Realm').inputValue(), 'Private');
  assert.equal(await label('Password file').inputValue(), '/etc/proxy/private.pwd');
  assert.equal(await label('Who may read and post').inputValue(), 'All@(*)');
  await label('Password file').fill('private.pwd');
  shown = await submit('Apply');
  assert.equal(shown.kind, 'status-kind status-3');
  assert.match(shown.message, /password file/i);
  assert.equal(readConfig('logging.conf'), created + lastFile);

  // Edit the masks.
  await label('Edit the row').check();
  await label('Row').selectOption('1');
  await label('URL request template').fill('/private/*');
  await submit('Continue');
  await label('Who may read and post').fill('webadm');
  await label('Who may upload').fill('webadm, @10.1.*');
  shown = await submit('Apply');
  assert.deepEqual(shown, { message: DONE, kind: 'status-kind status-1' });
  const edited =
    'Protect  /private/*  {\n' +
    '      PasswdFile   /etc/proxy/private.pwd\n' +
    '      PostMask     webadm\n' +
    '      PutMask      webadm, @10.1.*\n' +
    '      GetMask      webadm\n' +
    '      AuthType     Basic\n' +
    '      ServerID     Private\n' +
    '}\n';
  assert.equal(readConfig('logging.conf'), edited + lastFile);
  assert.equal(readConfig('proxy.conf'), mainFile);
  await screenshot('protection-edited.png');

  // Delete it: the files are as they were.
  await label('Delete the row').check();
  await label('Row').selectOption('1');
  shown = await submit('Continue');
  assert.deepEqual(shown, { message: DONE, kind: 'status-kind status-1' });
  assert.equal(await rows().count(), 0);
  assert.equal(readConfig('logging.conf'), lastFile);
  assert.equal(readConfig('proxy.conf'), mainFile);
});
