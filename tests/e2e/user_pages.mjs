// Browser test of the user pages behind basic authentication: the
// administrator adds a user to a group, that user signs in, changes the
// password and checks it, the administrator deletes the user, and the user's
// sign-in is refused. The restart button shows its confirmation and runs the
// server stand-in. Every page visited is checked with axe-core.
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { runBrowserTest, checkA11y, statusOf } from './harness.mjs';

const admin = { username: 'admin', password: crypto.randomBytes(12).toString('base64url') };
const carol = { username: 'carol', password: 'first "pass"; $(x)' };
const carolNew = 'second pass `y`';

runBrowserTest('user pages', async ({ page, browser, open, submit, url, run, assert, screenshot }) => {
  const protect = path.join(run, 'server', 'protect');
  const group = () => fs.readFileSync(path.join(protect, 'webadmin.group'), 'utf8');
  const users = () => fs.readFileSync(path.join(protect, 'webadmin.passwd'), 'utf8')
    .split('\n').filter((l) => l && !l.startsWith('#')).map((l) => l.split(':')[0]);

  // Signs in with `credentials` in a context of its own; returns the status
  // code of the page.
  async function signIn(credentials, pageName) {
    const context = await browser.newContext({ httpCredentials: credentials });
    const p = await context.newPage();
    const response = await p.goto(url(pageName));
    return { context, page: p, code: response.status() };
  }

  // The administrator adds carol to the group "editors".
  await open('ADDUSER');
  assert.equal(await page.locator('#PASSWDFILE').inputValue(), path.join(protect, 'webadmin.passwd'));
  await page.getByLabel('User name').fill(carol.username);
  await page.getByLabel('Password', { exact: true }).fill(carol.password);
  await page.getByLabel('Password again').fill(carol.password);
  await page.getByLabel('Description').fill('Carol, editor');
  await page.getByLabel('Group', { exact: true }).fill('editors');
  let status = await submit('Add the user');
  assert.deepEqual(status, { message: 'New user carol has been successfully added', kind: 'status-kind status-1' });
  assert.equal(group(), 'admins: admin\neditors: carol\n');
  assert.deepEqual(users(), ['admin', 'carol']);
  await screenshot('user_pages_added.png');

  // Adding her again is refused by the password tool.
  await page.getByLabel('User name').fill(carol.username);
  await page.getByLabel('Password', { exact: true }).fill('x');
  await page.getByLabel('Password again').fill('x');
  await page.getByLabel('Group', { exact: true }).fill('editors');
  status = await submit('Add the user');
  assert.equal(status.message, `User carol already exists in password file ${path.join(protect, 'webadmin.passwd')}`);
  assert.equal(status.kind, 'status-kind status-3');

  // carol signs in and changes her password with the keyboard.
  const first = await signIn(carol, 'CHPASSWD');
  assert.equal(first.code, 200);
  await checkA11y(first.page, 'CHPASSWD as carol');
  await first.page.getByLabel('User name').fill(carol.username);
  await first.page.getByLabel('New password', { exact: true }).fill(carolNew);
  await first.page.getByLabel('New password again').fill(carolNew);
  await Promise.all([first.page.waitForNavigation(), first.page.getByLabel('New password again').press('Enter')]);
  await checkA11y(first.page, 'CHPASSWD answer');
  status = await statusOf(first.page);
  assert.equal(status.message,
    `Password for user carol has been successfully changed in password file ${path.join(protect, 'webadmin.passwd')}`);
  await first.context.close();

  // The old password no longer signs in; the new one does, and checks out.
  assert.equal((await signIn(carol, 'BASIC')).code, 401);
  const second = await signIn({ username: carol.username, password: carolNew }, 'CHKUSER');
  assert.equal(second.code, 200);
  await checkA11y(second.page, 'CHKUSER as carol');
  await second.page.getByLabel('User name').fill(carol.username);
  await second.page.getByLabel('Password', { exact: true }).fill(carolNew);
  await Promise.all([second.page.waitForNavigation(), second.page.getByRole('button', { name: 'Check', exact: true }).click()]);
  assert.deepEqual(await statusOf(second.page), { message: 'User carol exists in password file', kind: 'status-kind status-1' });
  await second.page.getByLabel('User name').fill(carol.username);
  await second.page.getByLabel('Password', { exact: true }).fill(carol.password);
  await Promise.all([second.page.waitForNavigation(), second.page.getByRole('button', { name: 'Check', exact: true }).click()]);
  assert.equal((await statusOf(second.page)).kind, 'status-kind status-3');
  await second.context.close();

  // The administrator deletes carol; her sign-in is refused from then on.
  await open('DELUSER');
  await page.getByLabel('User name').fill(carol.username);
  status = await submit('Delete the user');
  assert.equal(status.message, `User carol has been successfully deleted from group ${path.join(protect, 'webadmin.group')} `
    + `and password ${path.join(protect, 'webadmin.passwd')} files`);
  assert.equal(group(), 'admins: admin\n');
  assert.deepEqual(users(), ['admin']);
  const refused = await signIn({ username: carol.username, password: carolNew }, 'BASIC');
  assert.equal(refused.code, 401);
  await refused.context.close();

  // The restart button: confirmation page, then the server command runs.
  await open('BASIC');
  status = await submit('Restart the server');
  assert.deepEqual(status, { message: 'The server restart has completed successfully.', kind: 'status-kind status-1' });
  const log = path.join(run, 'proxy.conf.restart.log');
  for (let i = 0; i < 100 && !fs.existsSync(log); i++) await new Promise((r) => setTimeout(r, 50));
  assert.match(fs.readFileSync(log, 'utf8'), new RegExp(`^\\S+Z restart ${run}/proxy\\.conf: \\d+ lines\\n$`));
}, { server: { auth: admin } });
