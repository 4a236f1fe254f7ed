// Browser test of the Basic settings page: the real cfgout behind lighttpd
// over a copy of the demo configuration; Chromium edits the form with the
// keyboard and the mouse, and the test checks the page and the files.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('basic page', async ({ page, base, assert, apply, refused, label, typeInto, enter, checkA11y, status, screenshot }) => {
  // The root redirects to the Basic page, which shows the configuration.
  await page.goto(`${base}/`);
  await checkA11y('BASIC');
  assert.match(page.url(), /\/cgi-bin\/cfgout\/BASIC$/);
  assert.equal(await page.title(), 'Basic settings - Proxy configuration');
  assert.deepEqual(await status(), { message: 'Ready', kind: 'status-kind status-0' });
  const shown = { 'Host name': 'proxy.example.com', Ports: '8080', 'Administration port': '8008', 'Run as group': 'nogroup' };
  for (const [field, value] of Object.entries(shown)) assert.equal(await label(field).inputValue(), value, field);
  for (const box of ['In files', 'Only files with include names', 'All addresses']) assert.equal(await label(box).isChecked(), true, box);
  assert.equal(await page.locator('nav a[href="PROXCACH"]').count(), 1);

  // Change the ports and the host name with the keyboard only, submit with Enter.
  await typeInto('www.example.org', 'Host name');
  await typeInto('8080,8081', 'Ports');
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'ADMINPORT');
  await typeInto('9090');
  await apply({
    'proxy.conf': (t) => t.replace(/^HostName {8}proxy\.example\.com\n/m, 'HostName       www.example.org\n')
      .replace(/^Port {12}8080\n/m, 'Port            8080\nPort     8081\n')
      .replace(/^AdminPort {7}8008\n/m, 'AdminPort       9090\n'),
  }, enter);
  assert.equal(await label('Host name').inputValue(), 'www.example.org');
  assert.equal(await label('Ports').inputValue(), '8080,8081');
  assert.equal(await label('Administration port').inputValue(), '9090');
  await screenshot('basic-done.png');

  // A bad administration port is refused with its validation message and
  // the configuration stays as it was; the form is submitted with the mouse.
  await label('Administration port').fill('99999');
  await refused(/administration port/i);
  await screenshot('basic-error.png');
});
