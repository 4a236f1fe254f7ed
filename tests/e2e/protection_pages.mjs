// Browser test of the document protection pages: the real cfgout behind
// lighttpd over a copy of the demo configuration. Chromium creates a
// password protection for a path, finds it in the list, edits its masks and
// deletes it; the configuration files are checked after every step.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('protection pages', async ({ page, assert, open, submit, apply, refused, label, rows, screenshot }) => {
  const block = (post, put, get) => `Protect  /private/*  {\n      PasswdFile   /etc/proxy/private.pwd\n`
    + `      PostMask     ${post}\n${put ? `      PutMask      ${put}\n` : ''}      GetMask      ${get}\n`
    + '      AuthType     Basic\n      ServerID     Private\n}\n';
  // Chooses what to do with row 1 and continues to the protection form.
  const chooseRow = async (what, template) => {
    await label(what).check();
    await label('Row').selectOption('1');
    if (template) await label('URL request template').fill(template);
    return submit('Continue');
  };

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
  assert.deepEqual(await submit('Continue'), { message: 'Ready', kind: 'status-kind status-0' });
  assert.equal(await page.title(), 'Protection - Proxy configuration');
  assert.equal(await label('URL request template').inputValue(), '/private/*');
  await label('Realm').fill('Private');
  await label('Password file').fill('/etc/proxy/private.pwd');
  await label('Who may read and post').fill('All@(*)');
  // The new protection goes to the last configuration file, which has no
  // mapping rule to stand in front of: at its top.
  await apply({ 'logging.conf': (t) => block('All@(*)', '', 'All@(*)') + t });
  await screenshot('protection-created.png');
  assert.equal(await rows().count(), 1);
  assert.deepEqual(await rows().first().locator('td').allTextContents(), ['1', '/private/*']);

  // A rejected password file changes nothing (the client certificate group
  // is on the page too, checked with the rest). Choosing the row to edit
  // fills in its template.
  await label('Edit the row').check();
  await label('Row').selectOption('1');
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
  await refused(/password file/i);

  // Edit the masks.
  await chooseRow('Edit the row', '/private/*');
  await label('Who may read and post').fill('webadm');
  await label('Who may upload').fill('webadm, @10.1.*');
  await apply({ 'logging.conf': (t) => t.replace(block('All@(*)', '', 'All@(*)'), block('webadm', 'webadm, @10.1.*', 'webadm')) });
  await screenshot('protection-edited.png');

  // Delete it: the files are as they were.
  await apply({ 'logging.conf': (t) => t.replace(block('webadm', 'webadm, @10.1.*', 'webadm'), '') },
    () => chooseRow('Delete the row'));
  assert.equal(await rows().count(), 0);
});
