// What the game does with an item, in the page: every field of the record saved, the panel's
// words, Use like… and the effect when used, each held against what the command-line tool
// writes or prints for the same change on the same core.
import {
  test, expect, cli, cliRefusal, sampleRom, copyOf, openRom, takeMessage, selectItem, retype, writtenFile, writes,
  writtenTimes,
} from './fixtures.mjs';
import { readFile } from 'node:fs/promises';

// The lines of `quillbox-cli show`, by key.
async function shown(rom, position) {
  const lines = (await cli('show', rom, String(position))).split('\n');
  return Object.fromEntries(lines.filter((line) => /^\w+: /.test(line)).map((line) => {
    const colon = line.indexOf(': ');
    return [line.slice(0, colon), line.slice(colon + 2)];
  }));
}

// Each control of the record of item 13 (Kelp Tonic: holdEffect 6, param 1, importance 1,
// registrability 1, pocket 4, type 13, battle usage 1, secondary id 39), given another value, and
// the tool's key and value for it.
const fieldEdits = [
  { id: 'iname', text: 'ELIXIR', set: 'name=ELIXIR' },
  { id: 'index', text: '77', set: 'index=77' },
  { id: 'price', text: '4321', set: 'price=4321' },
  { id: 'sp1', entry: 43, set: 'holdEffect=43' },
  { id: 'sp2', entry: 10, set: 'holdEffectParam=10' },
  { id: 'Mys1', entry: 0, set: 'importance=0' },
  { id: 'Mys2', entry: 0, set: 'registrability=0' },
  { id: 'pock', entry: 2, set: 'pocket=2' },
  { id: 'itemType', entry: 2, set: 'type=2' },
  { id: 'FUCP', text: 'A0011', set: 'fieldUsageCodePointer=A0011' },
  { id: 'Bu', entry: 2, set: 'battleUsage=2' },
  { id: 'BUCP', text: 'B0021', set: 'battleUsageCodePointer=B0021' },
  { id: 'secondaryId', entry: 7, set: 'secondaryId=7' },
];

test('every field of the record saved from the page writes what the tool\'s set writes', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const expected = await copyOf(rom, 'expected.gba');
  let previous = await readFile(rom);
  await openRom(page, rom);
  await selectItem(page, 13);
  for (const edit of fieldEdits) {
    if (edit.text !== undefined) await retype(page, edit.id, edit.text);
    else await page.locator(`#${edit.id}`).selectOption({ index: edit.entry });
    await page.click('#save');
    expect(await takeMessage(page), edit.id).toEqual({ title: 'Quillbox', text: 'Item Changed' });
    await cli('set', expected, '13', edit.set);
    const written = await writtenFile(page, work, 'sample.gba');
    expect(written.equals(previous), `${edit.id} changed the file`).toBe(false);
    expect(written.equals(await readFile(expected)), `${edit.id} as ${edit.set}`).toBe(true);
    previous = written;
  }
});

// The entry a list shows for a value: its number, and its name where the game names it.
const entryOf = (number, name) => (name === '-' ? number : `${number} ${name}`);

// The panel's words beside each control, and the tool's line that says the same.
const panelLines = {
  sp1: 'holdEffectName', sp2: 'holdEffectParamName', Mys1: 'importanceName', Mys2: 'registrabilityName',
  pock: 'pocketName', itemType: 'typeName', FUCP: 'fieldRoutineUsers', Bu: 'battleUsageName',
  BUCP: 'battleRoutineUsers', secondaryId: 'secondaryIdName',
};

test('the panel says what the tool\'s show says, and follows the entry the user picks', async ({ page, work }) => {
  const rom = await sampleRom(work);
  // Two more users of Kelp Tonic's routines, so that the routine lines name them.
  await cli('use-like', rom, '20', '13');
  await cli('use-like', rom, '21', '13');
  await openRom(page, rom);
  let compared = 0;
  // A mail, a ball and an item whose routines three items use.
  for (const position of [0, 2, 13]) {
    await selectItem(page, position);
    const tool = await shown(rom, position);
    for (const [id, key] of Object.entries(panelLines)) {
      if (tool[key] === '-') continue;  // a value the game does not name: the tool prints no words
      await expect(page.locator(`#${id}Words`), `${id} of ${position}`).toHaveText(tool[key]);
      compared += 1;
    }
    await expect(page.locator('#secondaryId option:checked')).toHaveText(entryOf(tool.secondaryId, tool.secondaryIdName));
  }
  expect(compared).toBeGreaterThanOrEqual(25);

  // Picking entries changes the words before anything is saved: the tool says the same of a copy
  // with those values.
  const copy = await copyOf(rom, 'picked.gba');
  await cli('set', copy, '1', 'pocket=3', 'holdEffect=43');
  const picked = await shown(copy, 1);
  await selectItem(page, 1);
  await page.locator('#pock').selectOption({ index: 3 });
  await page.locator('#sp1').selectOption({ index: 43 });
  await expect(page.locator('#sp1Words')).toHaveText(picked.holdEffectName);
  await expect(page.locator('#pockWords')).toHaveText(picked.pocketName);
  await expect(page.locator('#secondaryIdWords')).toHaveText(picked.secondaryIdName);
  await expect(page.locator('#secondaryId option:checked')).toHaveText(entryOf(picked.secondaryId, picked.secondaryIdName));
  expect(await writes(page)).toBe(0);
});

test('Use like… writes what the tool\'s use-like writes, Cancel writes nothing, Undo takes it back', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const before = await readFile(rom);
  const expected = await copyOf(rom, 'expected.gba');
  await cli('use-like', expected, '13', '2');
  await openRom(page, rom);
  await selectItem(page, 13);

  await page.click('#battleUseLike');
  await page.locator('#useLikeItem').selectOption({ index: 2 });
  await page.click('#useLikeCancel');
  await expect(page.locator('#useLikeBox')).toBeHidden();
  expect(await writes(page)).toBe(0);

  await page.click('#fieldUseLike');
  await expect(page.locator('#useLikeText')).toHaveText('Give Kelp Tonic the routines, type and secondary id of which item?');
  await expect(page.locator('#useLikeItem option:checked')).toHaveText('13 Kelp Tonic');
  await page.locator('#useLikeItem').selectOption({ index: 2 });
  await page.click('#useLikeOK');
  await writtenTimes(page, 1);
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  const tool = await shown(expected, 13);
  await expect(page.locator('#FUCPWords')).toHaveText(tool.fieldRoutineUsers);
  await expect(page.locator('#secondaryId option:checked')).toHaveText(entryOf(tool.secondaryId, tool.secondaryIdName));

  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Use Like of Kelp Tonic');
  await page.click('#mnuEdit .menu-title');
  await page.click('#mnuEditUndo');
  await expect(page.locator('#mnuEditRedo')).toHaveText('Redo Use Like of Kelp Tonic');
  await writtenTimes(page, 2);
  expect((await writtenFile(page, work, 'sample.gba')).equals(before)).toBe(true);
});

test('Add Item… writes what the tool\'s add-item writes, shows the new item, and Undo takes it back', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const before = await readFile(rom);
  const expected = await copyOf(rom, 'expected.gba');
  expect(await cli('add-item', expected, '--like', '13', '--name', 'MEGA POTION')).toBe('52\n');
  await openRom(page, rom);
  await selectItem(page, 13);

  await page.click('#mnuEdit .menu-title');
  await page.click('#mnuEditAddItem');
  await expect(page.locator('#addItemText')).toHaveText('Add an item like:');
  await expect(page.locator('#cboAddItemLike option:checked')).toHaveText('13 Kelp Tonic');
  await page.fill('#txtAddItemName', 'MEGA POTION');
  await page.click('#addItemOK');
  await writtenTimes(page, 1);
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  await expect(page.locator('#cboitem')).toHaveAttribute('data-shown', '52');
  await expect(page.locator('#iname')).toHaveValue('MEGA POTION');
  await expect(page.locator('#cboitem option').nth(52)).toHaveText('MEGA POTION');

  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Add Item of MEGA POTION');
  await page.click('#mnuEdit .menu-title');
  await page.click('#mnuEditUndo');
  await writtenTimes(page, 2);
  expect((await writtenFile(page, work, 'sample.gba')).equals(before)).toBe(true);
  await expect(page.locator('#cboitem option').nth(52)).toHaveText('????????');
});

// The record the sample gives item 22 heals 50 HP and is its own, so a change is written in place.
test('an effect change writes what the tool writes, and Undo takes it back', async ({ page, work }) => {
  const rom = await sampleRom(work);
  const before = await readFile(rom);
  const expected = await copyOf(rom, 'expected.gba');
  await cli('set', expected, '22', 'effect.healHp=120', 'effect.curesBurn=1');
  await openRom(page, rom);
  await selectItem(page, 22);
  await expect(page.locator('#effect_healHpOn')).toBeChecked();
  await expect(page.locator('#effect_healHp')).toHaveValue('50');
  await expect(page.locator('#effect_curesBurn')).not.toBeChecked();
  const wordsBefore = await page.textContent('#effectWords');
  await page.fill('#effect_healHp', '120');
  await page.check('#effect_curesBurn');
  await page.click('#effectSave');
  expect(await takeMessage(page)).toEqual({ title: 'Quillbox', text: 'Item Changed' });
  expect((await writtenFile(page, work, 'sample.gba')).equals(await readFile(expected))).toBe(true);
  await expect(page.locator('#effectWords')).not.toHaveText(wordsBefore);
  await expect(page.locator('#effect_healHp')).toHaveValue('120');
  await expect(page.locator('#mnuEditUndo')).toHaveText('Undo Change Effect of Tide Tonic');
  await page.click('#mnuEdit .menu-title');
  await page.click('#mnuEditUndo');
  await expect(page.locator('#mnuEditRedo')).toHaveText('Redo Change Effect of Tide Tonic');
  await writtenTimes(page, 2);
  expect((await writtenFile(page, work, 'sample.gba')).equals(before)).toBe(true);
  await expect(page.locator('#effectWords')).toHaveText(wordsBefore);
});

test('an effect the record cannot hold is refused with the core\'s message and nothing is written', async ({ page, work }) => {
  const rom = await sampleRom(work);
  await openRom(page, rom);
  await selectItem(page, 22);
  await page.fill('#effect_healHp', '300');
  await page.click('#effectSave');
  const message = await takeMessage(page);
  expect(message.title).toMatch(/^Error: \d+$/);
  expect(message.text).toBe(await cliRefusal('set', rom, '22', 'effect.healHp=300'));
  expect(await writes(page)).toBe(0);
  await expect(page.locator('#mnuEditUndo')).toBeDisabled();
});

test('the effect area says why an item has none, and which items share a record', async ({ page, work }) => {
  const rom = await sampleRom(work);
  // The sample gives item 44 the record of item 13, as hacks share records.
  const names = (await cli('list', rom)).split('\n').map((line) => line.split('\t')[1]);
  await openRom(page, rom);
  await selectItem(page, 13);
  await expect(page.locator('#effectWords')).toContainText(`\nShared with 1 item: ${names[44]}`);
  await selectItem(page, 44);
  await expect(page.locator('#effectWords')).toContainText(`\nShared with 1 item: ${names[13]}`);
  await selectItem(page, 5);
  const reason = await page.textContent('#effectWords');
  expect(reason).not.toBe('');
  await expect(page.locator('#effectSave')).toBeDisabled();
  await expect(page.locator('#effectSave')).toHaveAttribute('title', reason);
  await expect(page.locator('#effectFields input:enabled')).toHaveCount(0);
  await selectItem(page, 22);
  await expect(page.locator('#effectSave')).toBeEnabled();
  await expect(page.locator('#effectFields input:enabled')).not.toHaveCount(0);
});

// What a closed list shows: the number drawn over it where its entry does not fit, else the entry.
async function closedText(page, id) {
  const number = page.locator(`#${id}Closed`);
  return (await number.isVisible()) ? number.textContent() : page.locator(`#${id} option:checked`).textContent();
}

// Each list given an entry, and what it shows closed: the number alone where the entry is too wide
// for the list ('0 Not in battle' in the window's 33 pixels), the whole entry where it fits.
const closedLists = [
  { id: 'Bu', entry: 0, shows: '0' },
  { id: 'sp1', entry: 43, shows: '43' },
  { id: 'Mys1', entry: 1, shows: '1' },
  { id: 'sp2', entry: 1, shows: '01' },
  { id: 'itemType', entry: 1, shows: 'whole' },
  { id: 'pock', entry: 2, shows: 'whole' },
];

test('a list too narrow for its entry shows the entry\'s number alone, and the open list the whole entries', async ({ page, work }) => {
  await openRom(page, await sampleRom(work));
  await selectItem(page, 13);
  // Shown, as picked: Kelp Tonic's battle usage 1.
  await expect.poll(() => closedText(page, 'Bu')).toBe('1');
  for (const row of closedLists) {
    await page.locator(`#${row.id}`).selectOption({ index: row.entry });
    const entry = await page.locator(`#${row.id} option:checked`).textContent();
    if (row.shows === 'whole') {
      expect(await closedText(page, row.id), row.id).toBe(entry);
    } else {
      expect(entry.startsWith(row.shows), `${row.id} entry ${entry}`).toBe(true);
      expect(await closedText(page, row.id), `${row.id} entry ${entry}`).toBe(row.shows);
    }
  }
  expect(await page.locator('#Bu option:checked').textContent()).not.toBe('0');
  expect(await writes(page)).toBe(0);
});
