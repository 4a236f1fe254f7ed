// Browser test of the user pages behind basic authentication: the
// administrator adds a user to a group, that user signs in, changes the
// password and checks it, the administrator deletes the user, and the user's
// sign-in is refused. The restart button shows its confirmation and runs the
// server stand-in. Every page visited is checked with axe-core.
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { runBrowserTest, checkA11y, pressEnter, statusOf, ERROR_KIND } from './harness.mjs';

const admin = { username: 'admin', password: crypto.randomBytes(12).toString('base64url') };
const carol = { username: 'carol', password: 'first "pass"; $(x)' };
const carolNew = 'second pass `y`';

runBrowserTest('user pages', async ({ page, browser, open, submit, url, run, assert, screenshot }) => {
  const protect = path.join(run, 'server', 'protect');
  const group = () => fs.readFileSync(path.join(protect, 'webadmin.group'), 'utf8');
  const passwd = path.join(protect, 'webadmin.passwd');
  const users = () => fs.readFileSync(passwd, 'utf8').split('\n').filter((l) => l && !l.startsWith('#')).map((l) => l.split(':')[0]);
  const fill = async (p, fields) => {
    for (const [field, value] of Object.entries(fields)) await p.getByLabel(field, { exact: true }).fill(value);
  };

  // Signs in with `credentials` in a context of its own; returns the status code.
  async function signIn(credentials, pageName) {
    const context = await browser.newContext({ httpCredentials: credentials });
    const p = await context.newPage();
    const response = await p.goto(url(pageName));
    return { context, page: p, code: response.status() };
  }

  // The administrator adds carol to the group "editors".
  await open('ADDUSER');
  assert.equal(await page.locator('#PASSWDFILE').inputValue(), passwd);
  await fill(page, { 'User name': 'carol', Password: carol.password, 'Password again': carol.password, Description: 'Carol, editor', Group: 'editors' });
  let status = await submit('Add the user');
  assert.deepEqual(status, { message: 'New user carol has been successfully added', kind: 'status-kind status-1' });
  assert.equal(group(), 'admins: admin\neditors: carol\n');
  assert.deepEqual(users(), ['admin', 'carol']);
  await screenshot('user_pages_added.png');

  // Adding her again is refused by the password tool.
  await fill(page, { 'User name': carol.username, Password: 'x', 'Password again': 'x', Group: 'editors' });
  assert.deepEqual(await submit('Add the user'), { message: `User carol already exists in password file ${passwd}`, kind: ERROR_KIND });

  // carol signs in and changes her password with the keyboard.
  const first = await signIn(carol, 'CHPASSWD');
  assert.equal(first.code, 200);
  await checkA11y(first.page, 'CHPASSWD as carol');
  await fill(first.page, { 'User name': carol.username, 'New password': carolNew, 'New password again': carolNew });
  status = await pressEnter(first.page, 'CHPASSWD');
  assert.equal(status.message, `Password for user carol has been successfully changed in password file ${passwd}`);
  await first.context.close();

  // The old password no longer signs in; the new one does, and checks out.
  assert.equal((await signIn(carol, 'BASIC')).code, 401);
  const second = await signIn({ username: carol.username, password: carolNew }, 'CHKUSER');
  assert.equal(second.code, 200);
  await checkA11y(second.page, 'CHKUSER as carol');
  const check = async (password) => {
    await fill(second.page, { 'User name': carol.username, Password: password });
    await Promise.all([second.page.waitForNavigation(), second.page.getByRole('button', { name: 'Check', exact: true }).click()]);
    await checkA11y(second.page, 'CHKUSER answer');
    return statusOf(second.page);
  };
  assert.deepEqual(await check(carolNew), { message: 'User carol exists in password file', kind: 'status-kind status-1' });
  assert.equal((await check(carol.password)).kind, ERROR_KIND);
  await second.context.close();

  // The administrator deletes carol; her sign-in is refused from then on.
  await open('DELUSER');
  await page.getByLabel('User name').fill(carol.username);
  status = await submit('Delete the user');
  assert.equal(status.message, `User carol has been successfully deleted from group ${path.join(protect, 'webadmin.group')} `
    + `and password ${passwd} files`);
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
