// Browser test of the change history: a change made on the Basic page shows
// up on the History page with its diff, and Undo brings the old value back.
import { runBrowserTest } from './harness.mjs';

runBrowserTest('history page', async ({ page, assert, open, apply, label, enter, readConfig, screenshot }) => {
  const original = readConfig();
  await open('BASIC');
  await label('Host name').fill('changed.example.org');
  await apply({ 'proxy.conf': (t) => t.replace(/^HostName .*$/m, 'HostName       changed.example.org') });

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
  assert.deepEqual(await enter(), { message: 'The change has been undone.', kind: 'status-kind status-1' });
  assert.equal(readConfig(), original);
  assert.equal(await page.locator('li.change').count(), 3);
  assert.match(await page.locator('li.change h2').first().textContent(), /^Undo of change /);

  await open('BASIC');
  assert.equal(await label('Host name').inputValue(), 'proxy.example.com');
});
