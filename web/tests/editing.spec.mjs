// The window's controls in the page: what a save, a refusal and an undo do to the file, compared
// byte for byte with what the command-line tool writes on the same core.
import {
  test, expect, cli, cliRefusal, sampleRom, copyOf, openRom, takeMessage, answer, selectItem, retype, writtenFile,
  writes, downloaded, writtenTimes,
} from './fixtures.mjs';
import { readFile } from 'node:fs/promises';

const longText = 'A tonic brewed from amber resin. It restores 20 HP and lifts a burn at once.';

// Each row edits one item in the page as a person would, answers the questions asked, and names
// the `set` that writes the same change.
const saves = [
  { name: 'fields and lists', position: 13, fill: { iname: 'ELIXIR', price: '4321', index: '77', FUCP: 'A0011' },
    select: { pock: 2, sp1: 5, Mys2: 1 },
    set: ['name=ELIXIR', 'price=4321', 'index=77', 'fieldUsageCodePointer=A0011', 'pocket=2', 'special1=5', 'mystery2=1'] },
  { name: 'the move a TM teaches', position: 300, select: { cboattack: 9 }, set: ['tmMove=10'] },
  { name: 'a description within its room', position: 20, fill: { descp: 'Short one' }, set: ['description=Short one'] },
  { name: 'characters the game cannot show, saved as spaces', position: 13, fill: { iname: 'ELI;XIR' },
    answers: [['unknownCharactersQuestion', 'Yes']], set: ['name=ELI;XIR', '--replace-unknown'] },
  { name: 'a description moved to free space', position: 3, allowLonger: true, fill: { descp: longText },
    answers: [['descriptionMoveQuestion', 'Yes']], set: [`description=${longText}`, '--relocate'] },
];

for (const row of saves) {
  test(`a save writes what the tool writes: ${row.name}`, async ({ page, work }) => {
    const rom = await sampleRom(work);
    const expected = await copyOf(rom, 'expected.gba');
    await cli('set', expected, String(row.position), ...row.set);

    await openRom(page, rom);
    await selectItem(page, row.position);
    if (row.allowLonger) {
      await page.click('#descp', { button: 'right' });
      await page.click('#mnuAllowLongerDescription');
    }
    for (const [id, value] of Object.entries(row.fill || {})) await retype(page, id, value);
    for (const [id, index] of Object.entries(row.select || {})) await page.locator(`#${id}`).selectOption({ index });
    await page.click('#save');
    for (const [name, button] of row.answers || []) await answer(page, name, button);
    expect(await takeMessage(page)).toEqual({ title: 'Quillbox', text: 'Item Changed' });
    expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
    await expect(page.locator('#cboitem')).toHaveJSProperty('selectedIndex', row.position);
  });
}

// Each row is refused or declined: the file is never written and the ROM in the page stays as it was.
const refusals = [
  { name: 'a name too long for its field', position: 13, fill: { iname: 'ABCDEFGHIJKLMN' }, click: '#save',
    refusal: ['set', '13', 'name=ABCDEFGHIJKLMN'], title: 'Error: 10' },
  { name: 'a description pointer past the end', position: 13, fill: { Text3: 'FFFFFFF' }, click: '#Command2',
    refusal: ['set', '13', 'descriptionOffset=FFFFFFF'], title: 'Error: 4' },
  { name: 'characters the game cannot show, declined', position: 13, fill: { iname: 'ELI;XIR' }, click: '#save',
    answers: [['unknownCharactersQuestion', 'No']] },
  { name: 'a longer description, declined', position: 3, allowLonger: true, fill: { descp: longText }, click: '#save',
    answers: [['descriptionMoveQuestion', 'No']] },
];

for (const row of refusals) {
  test(`nothing is written when ${row.name}`, async ({ page, work }) => {
    const rom = await sampleRom(work);
    const before = await readFile(rom);
    await openRom(page, rom);
    await selectItem(page, row.position);
    if (row.allowLonger) {
      await page.click('#descp', { button: 'right' });
      await page.click('#mnuAllowLongerDescription');
    }
    for (const [id, value] of Object.entries(row.fill)) await retype(page, id, value);
    await page.click(row.click);
    for (const [name, button] of row.answers || []) await answer(page, name, button);
    if (row.refusal) {
      const text = await cliRefusal(row.refusal[0], rom, ...row.refusal.slice(1));
      expect(await takeMessage(page)).toEqual({ title: row.title, text });
    }
    await expect(page.locator('dialog[open]')).toHaveCount(0);
    expect(await writes(page)).toBe(0);
    await expect(page.locator('#mnuEditUndo')).toBeDisabled();
    const inPage = await downloaded(page, work, () => page.evaluate(() => document.getElementById('mnuFileDownload').click()));
    expect(inPage.bytes.equals(before)).toBe(true);
  });
}

test('undo and redo put the file back byte for byte, from the menu and the keys', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const before = await readFile(rom);
  await openRom(page, rom);
  await expect(page.locator('#mnuEditUndo')).toBeDisabled();
  await selectItem(page, 13);
  await retype(page, 'iname', 'TONIC');
  await retype(page, 'price', '77');
  await page.click('#save');
  await takeMessage(page);
  const after = await writtenFile(page, work, 'sample.gba');
  expect(after.equals(before)).toBe(false);
  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Save of TONIC');
  await expect(page.locator('#mnuEditRedo')).toHaveText('Redo');

  await selectItem(page, 0);
  await page.focus('#cboitem');
  await page.keyboard.press('Control+z');
  await expect(page.locator('#mnuEditRedo')).toHaveText('Redo Save of TONIC');
  await writtenTimes(page, 2);
  expect((await writtenFile(page, work, 'sample.gba')).equals(before)).toBe(true);
  await expect(page.locator('#cboitem')).toHaveJSProperty('selectedIndex', 13);
  await expect(page.locator('#price')).not.toHaveValue('77');

  await page.keyboard.press('Control+Shift+z');
  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Save of TONIC');
  await writtenTimes(page, 3);
  expect((await writtenFile(page, work, 'sample.gba')).equals(after)).toBe(true);
  await expect(page.locator('#price')).toHaveValue('77');

  // From the menu as well.
  await page.click('#mnuEdit .menu-title');
  await page.click('#mnuEditUndo');
  await writtenTimes(page, 4);
  expect((await writtenFile(page, work, 'sample.gba')).equals(before)).toBe(true);
});

// What typing leaves in a box: the core's rules, wired to every text box.
const typing = [
  { id: 'price', typed: '9x9', shown: '99' },
  { id: 'price', typed: '70000', shown: '65535' },
  { id: 'index', typed: '123456', shown: '12345' },
  { id: 'FUCP', typed: '0a0z01', shown: '0A001' },
  { id: 'Text3', typed: '123456789', shown: '1234567' },
  { id: 'iname', typed: 'ABCDEFGHIJKLMNOP', shown: 'ABCDEFGHIJKLMN' },
];

test('typing follows each box\'s rules, and the description stops at its room', async ({ page, work }) => {
  await openRom(page, await sampleRom(work));
  await selectItem(page, 20);
  for (const row of typing) {
    await retype(page, row.id, row.typed);
    await expect(page.locator(`#${row.id}`), `${row.typed} typed into ${row.id}`).toHaveValue(row.shown);
  }
  const full = await page.inputValue('#descp');
  await expect(page.locator('#Text1')).toHaveValue(await page.inputValue('#Text2'));
  await page.focus('#descp');
  await page.keyboard.press('End');
  await page.keyboard.press('Control+End');
  await page.keyboard.type('Z');
  await expect(page.locator('#descp')).toHaveValue(full);
  await page.keyboard.press('Backspace');
  await page.keyboard.press('Enter');
  await expect(page.locator('#descp')).toHaveValue(`${full.slice(0, -1)}\n`);
  await expect(page.locator('#Text1')).toHaveValue(String(Number(await page.inputValue('#Text2')) + 1));
});

test('both Repoints write what the tool writes and say what the new place held', async ({ page, work }) => {
  const rom = await sampleRom(work);
  await openRom(page, rom);
  await selectItem(page, 3);
  const image = await page.inputValue('#IMGOFF');
  const palette = await page.inputValue('#PALOFF');
  const expected = await copyOf(rom, 'expected.gba');
  await cli('set', expected, '13', 'descriptionOffset=F00000');
  await cli('set', expected, '13', `imageOffset=${image}`, `paletteOffset=${palette}`);
  await selectItem(page, 13);
  await retype(page, 'Text3', 'F00000');
  await page.click('#Command2');
  await expect(page.locator('#Command2')).toHaveAttribute('title', 'The new description place was free space.');
  await expect(page.locator('#descp')).toHaveValue('');
  await expect(page.locator('#Text1')).toHaveValue('0');
  await retype(page, 'IMGOFF', image);
  await retype(page, 'PALOFF', palette);
  await page.click('#Command3');
  await writtenTimes(page, 2);
  await expect(page.locator('#Command3')).toHaveAttribute('title', /^The new image place held data used by \d+ other items?\./);
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Repoint Image of Kelp Tonic');
});
