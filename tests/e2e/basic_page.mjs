// Browser test of the Basic settings page: the real cfgout behind lighttpd
// over a copy of the demo configuration; Chromium edits the form with the
// keyboard and the mouse, and the test checks the page and the files.
import { DONE, runBrowserTest, statusOf } from './harness.mjs';

runBrowserTest('basic page', async ({ page, base, assert, submit, checkA11y, readConfig, screenshot }) => {
  const original = readConfig();

  // The root redirects to the Basic page, which shows the configuration.
  await page.goto(`${base}/`);
  await checkA11y('BASIC');
  assert.match(page.url(), /\/cgi-bin\/cfgout\/BASIC$/);
  assert.equal(await page.title(), 'Basic settings - Proxy configuration');
  assert.deepEqual(await statusOf(page), { message: 'Ready', kind: 'status-kind status-0' });
  assert.equal(await page.getByLabel('Host name', { exact: true }).inputValue(), 'proxy.example.com');
  assert.equal(await page.getByLabel('Ports', { exact: true }).inputValue(), '8080');
  assert.equal(await page.getByLabel('Administration port', { exact: true }).inputValue(), '8008');
  assert.equal(await page.getByLabel('Run as group', { exact: true }).inputValue(), 'nogroup');
  assert.equal(await page.getByLabel('In files', { exact: true }).isChecked(), true);
  assert.equal(await page.getByLabel('Only files with include names', { exact: true }).isChecked(), true);
  assert.equal(await page.getByLabel('All addresses', { exact: true }).isChecked(), true);
  assert.equal(await page.locator('nav a[href="PROXCACH"]').count(), 1);

  // Change the ports and the host name with the keyboard only, submit with Enter.
  await page.getByLabel('Host name', { exact: true }).focus();
  await page.keyboard.press('Control+A');
  await page.keyboard.type('www.example.org');
  await page.getByLabel('Ports', { exact: true }).focus();
  await page.keyboard.press('Control+A');
  await page.keyboard.type('8080,8081');
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'ADMINPORT');
  await page.keyboard.press('Control+A');
  await page.keyboard.type('9090');
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  await checkA11y('BASIC (done)');

  assert.deepEqual(await statusOf(page), { message: DONE, kind: 'status-kind status-1' });
  assert.equal(await page.getByLabel('Host name', { exact: true }).inputValue(), 'www.example.org');
  assert.equal(await page.getByLabel('Ports', { exact: true }).inputValue(), '8080,8081');
  assert.equal(await page.getByLabel('Administration port', { exact: true }).inputValue(), '9090');
  await screenshot('basic-done.png');

  const changed = readConfig();
  const expected = original
    .replace(/^HostName {8}proxy\.example\.com\n/m, 'HostName       www.example.org\n')
    .replace(/^Port {12}8080\n/m, 'Port            8080\nPort     8081\n')
    .replace(/^AdminPort {7}8008\n/m, 'AdminPort       9090\n');
  assert.notEqual(expected, original);
  assert.equal(changed, expected);

  // A bad administration port is refused with its validation message and
  // the configuration stays as it was; the form is submitted with the mouse.
  await page.getByLabel('Administration port', { exact: true }).fill('99999');
  const refused = await submit();
  assert.equal(refused.kind, 'status-kind status-3');
  assert.match(refused.message, /administration port/i);
  assert.equal(readConfig(), changed);
  await screenshot('basic-error.png');
});
