// Browser test of the change history: a change made on the Basic page shows
// up on the History page with its diff, and Undo brings the old value back.
import { DONE, checkA11y, runBrowserTest, statusOf } from './harness.mjs';

runBrowserTest('history page', async ({ page, assert, open, submit, readConfig, screenshot }) => {
  const original = readConfig();
  await open('BASIC');
  await page.getByLabel('Host name', { exact: true }).fill('changed.example.org');
  assert.deepEqual(await submit(), { message: DONE, kind: 'status-kind status-1' });
  assert.match(readConfig(), /^HostName {7}changed\.example\.org$/m);

  await open('HISTORY');
  const newest = page.locator('li.change').first();
  assert.match(await newest.locator('h2').textContent(), /^BASIC: .*HostName/);
  assert.equal(await newest.locator('ins').filter({ hasText: 'changed.example.org' }).count(), 1);
  assert.equal(await newest.locator('del').filter({ hasText: 'proxy.example.com' }).count(), 1);
  // The diff marks are read out, not only coloured.
  assert.match(await newest.locator('ins').first().textContent(), /^Added: \+/);
  assert.equal(await page.locator('li.change').count(), 2);  // the change and the state before it
  await screenshot('history.png');

  await newest.getByRole('button', { name: 'Undo this change' }).focus();
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  await checkA11y(page, 'HISTORY (after undo)');
  const status = await statusOf(page);
  assert.deepEqual(status, { message: 'The change has been undone.', kind: 'status-kind status-1' });
  assert.equal(readConfig(), original);
  assert.equal(await page.locator('li.change').count(), 3);
  assert.match(await page.locator('li.change h2').first().textContent(), /^Undo of change /);

  await open('BASIC');
  assert.equal(await page.getByLabel('Host name', { exact: true }).inputValue(), 'proxy.example.com');
});

