// Icons in and out as PNG, many items at once from a CSV file, and two ROMs compared: the page
// hands the files to the core and writes what the command-line tool writes.
import {
  test, expect, cli, cliRefusal, sampleRom, copyOf, openRom, takeMessage, answer, selectItem, writtenFile, choose,
  writes,
} from './fixtures.mjs';
import { readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';

async function iconMenu(page, entry) {
  await page.click('#picItem', { button: 'right' });
  await page.click(`#${entry}`);
}

test('an icon exported as PNG and imported into another item writes what the tool writes', async ({ page, work }) => {
  const rom = await sampleRom(work);
  await openRom(page, rom);
  await selectItem(page, 3);
  await iconMenu(page, 'mnuExportIcon');
  await expect.poll(() => writes(page)).toBe(1);
  const png = join(work, 'three.png');
  await writeFile(png, await writtenFile(page, work, 'sample-3.png'));
  const expectedPng = join(work, 'expected-three.png');
  await cli('icon', rom, '3', '-o', expectedPng);
  expect((await readFile(png)).equals(await readFile(expectedPng))).toBe(true);

  const expected = await copyOf(rom, 'expected.gba');
  await cli('icon-import', expected, '4', png);
  await selectItem(page, 4);
  await page.click('#picItem', { button: 'right' });
  await choose(page, '#mnuImportIcon', png);
  expect((await takeMessage(page)).text).toMatch(/^Icon imported into free space: image at [0-9A-F]+, palette at [0-9A-F]+\.$/);
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  await expect(page.locator('#mnuEditUndo')).toHaveText(/^Undo Import Icon of /);
  const pixels = (p) => p.evaluate(() => Array.from(document.getElementById('picItem').getContext('2d').getImageData(0, 0, 24, 24).data).join());
  const four = await pixels(page);
  await selectItem(page, 3);
  expect(await pixels(page)).toBe(four);
});

test('a PNG that is not 24 by 24 is refused with the core\'s message and nothing is written', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const png = join(work, 'large.png');
  await cli('icon', rom, '3', '-o', png, '--scale', '2');
  const refusal = await cliRefusal('icon-import', rom, '4', png);
  await openRom(page, rom);
  await selectItem(page, 4);
  await page.click('#picItem', { button: 'right' });
  await choose(page, '#mnuImportIcon', png);
  expect(await takeMessage(page)).toEqual({ title: 'Error: 16', text: refusal });
  expect(await writes(page)).toBe(0);
  await expect(page.locator('#mnuEditUndo')).toBeDisabled();
});

test('a CSV import lists its changes first and writes what the tool writes', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const csv = join(work, 'prices.csv');
  await writeFile(csv, 'position,price,name\n3,1200,Mega Tonic\n4,80,Brass Tonic\n');
  const listing = await cli('import', rom, csv, '--dry-run');
  const expected = await copyOf(rom, 'expected.gba');
  await cli('import', expected, csv);

  await openRom(page, rom);
  await page.click('#mnuFile .menu-title');
  await choose(page, '#mnuImportItems', csv);
  const question = await answer(page, 'importQuestion', 'Yes');
  const lines = listing.split('\n').filter((line) => /^\d+ /.test(line) && !/ to \d+ items?;/.test(line));
  expect(lines.length).toBe(3);
  for (const line of lines) expect(question).toContain(line);
  expect((await takeMessage(page)).text).toBe('3 changes to 2 items written');
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  await expect(page.locator('#cboitem option').nth(3)).toHaveText('Mega Tonic');
});

test('comparing with another ROM lists what the tool\'s diff lists', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const other = await copyOf(rom, 'other.gba');
  await cli('set', other, '3', 'price=1200', 'name=Mega Tonic');
  const diff = (await cli('diff', rom, other)).trim();
  expect(diff.split('\n').length).toBe(2);

  await openRom(page, rom);
  await page.click('#mnuFile .menu-title');
  await choose(page, '#mnuCompare', other);
  const message = await takeMessage(page);
  expect(message.text).toBe(`Changes from sample.gba to other.gba:\n${diff}\n`);
  expect(await writes(page)).toBe(0);
});
