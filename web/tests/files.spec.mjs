// Files as a browser allows: in through the picker, out in place or as a download; the history
// and the found tables kept in the browser; nothing unsaved lost; bad files refused.
import {
  test, expect, cli, cliRefusal, sampleRom, copyOf, openRom, takeMessage, answer, selectItem, retype, writes,
  downloaded, choose,
} from './fixtures.mjs';
import { readFile, writeFile, truncate, mkdir } from 'node:fs/promises';
import { join } from 'node:path';
import { pageFile, readmeFile } from './browser.mjs';

async function savePrice(page, position, price) {
  await selectItem(page, position);
  await retype(page, 'price', price);
  await page.click('#save');
}

test.describe('a browser without the File System Access API', () => {
  test.use({ fileAccess: 'none' });

  test('Save downloads the ROM under its own name, with the bytes the tool writes', async ({ page, work }) => {
    const rom = await sampleRom(work);
    const expected = await copyOf(rom, 'expected.gba');
    await cli('set', expected, '13', 'price=999');
    await openRom(page, rom);
    const saved = await downloaded(page, work, async () => {
      await savePrice(page, 13, '999');
      expect(await takeMessage(page)).toEqual({ title: 'Quillbox', text: 'Item Changed' });
    });
    expect(saved.name).toBe('sample.gba');
    expect(saved.bytes.equals(await readFile(expected))).toBe(true);
  });

  test('closing the tab with changes not yet in the file asks first', async ({ page, work }) => {
    await openRom(page, await sampleRom(work));
    const asked = [];
    page.on('dialog', (dialog) => { asked.push(dialog.type()); dialog.dismiss(); });
    await page.close({ runBeforeUnload: true });
    expect(asked).toEqual([]);
  });

  test('a change not yet downloaded keeps the tab open when closing is refused', async ({ page, work }) => {
    await openRom(page, await sampleRom(work));
    await selectItem(page, 13);
    await retype(page, 'IMGOFF', '900100');
    await page.click('#Command3');
    await expect(page.locator('#mnuEditUndo')).toHaveText(/^Undo Repoint Image/);
    // Opening another ROM asks too; Cancel keeps this one open.
    await choose(page, '#Command1', await sampleRom(work, 'other.gba'));
    expect(await answer(page, 'unsavedQuestion', 'Cancel')).toContain('sample.gba has changes that are not in its file yet.');
    await expect(page.locator('#status')).toHaveText(/^sample\.gba: changed in this page/);
    const asked = [];
    page.on('dialog', (dialog) => { asked.push(dialog.type()); dialog.dismiss(); });
    await page.close({ runBeforeUnload: true });
    await expect.poll(() => asked).toEqual(['beforeunload']);
    expect(page.isClosed()).toBe(false);
  });

  test('the history kept in the browser undoes after a reload, and goes with the ROM', async ({ page, work }) => {
    const rom = await sampleRom(work);
    const original = await readFile(rom);
    await openRom(page, rom);
    const saved = await downloaded(page, work, async () => {
      await savePrice(page, 13, '999');
      await takeMessage(page);
    });
    const history = await downloaded(page, work, () => page.evaluate(() => document.getElementById('mnuFileDownloadHistory').click()));
    expect(history.name).toBe('sample.gba.quillbox-history');
    await mkdir(join(work, 'later'));
    const later = join(work, 'later', 'sample.gba');
    await writeFile(later, saved.bytes);
    await writeFile(`${later}.quillbox-history`, history.bytes);

    await page.reload();
    await page.locator('body[data-ready=true]').waitFor();
    await openRom(page, later);
    await expect(page.locator('#mnuEditUndo')).toHaveText(/^Undo Save of /);
    await page.click('#mnuEdit .menu-title');
    await page.click('#mnuEditUndo');
    const undone = await downloaded(page, work, () => page.evaluate(() => document.getElementById('mnuFileDownload').click()));
    expect(undone.bytes.equals(original)).toBe(true);

    // A browser that kept nothing undoes with the history chosen beside the ROM.
    await page.reload();
    await page.locator('body[data-ready=true]').waitFor();
    await page.evaluate(() => new Promise((resolve) => { indexedDB.deleteDatabase('quillbox').onsuccess = resolve; }));
    await openRom(page, later);
    await expect(page.locator('#mnuEditUndo')).toBeDisabled();
    await openRom(page, [later, `${later}.quillbox-history`]);
    await expect(page.locator('#mnuEditUndo')).toHaveText(/^Undo Save of /);
  });

  test('a ROM dropped on the page opens as one chosen with Open', async ({ page, work }) => {
    await page.setInputFiles('#compareFile', await sampleRom(work, 'dropped.gba'));
    await page.evaluate(() => {
      const transfer = new DataTransfer();
      transfer.items.add(document.getElementById('compareFile').files[0]);
      document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    });
    await expect(page.locator('#cboitem option')).toHaveCount(375);
    await expect(page.locator('#status')).toHaveText('dropped.gba');
    await expect(page.locator('#save')).toBeEnabled();
  });

  // Each file is refused with the core's message, as the window shows it, and nothing is opened.
  const badFiles = [
    { name: 'notes.txt', make: (path) => writeFile(path, 'not a ROM\n') },
    { name: 'empty.gba', make: (path) => writeFile(path, '') },
    { name: 'huge.gba', make: async (path) => { await writeFile(path, ''); await truncate(path, 32 * 1024 * 1024); } },
    { name: 'spanish.gba', answers: [['tableDetectionQuestion', 'No']],
      make: async (path, work) => {
        const bytes = await readFile(await sampleRom(work, 'base.gba'));
        bytes.write('BPRS', 0xAC, 'latin1');
        await writeFile(path, bytes);
      } },
  ];
  for (const row of badFiles) {
    test(`${row.name} is refused with the core's message`, async ({ page, work }) => {
      const path = join(work, row.name);
      await row.make(path, work);
      const refusal = await cliRefusal('info', path);
      await choose(page, '#Command1', path);
      for (const [name, button] of row.answers || []) await answer(page, name, button);
      const unsupported = 'Unsupported ROM or no ROM opened!';
      const expected = refusal.startsWith(unsupported) ? { title: 'Quillbox', text: unsupported } : { text: refusal };
      expect(await takeMessage(page)).toMatchObject(expected);
      await expect(page.locator('#save')).toBeDisabled();
      await expect(page.locator('#cboitem option')).toHaveCount(0);
    });
  }
});

test.describe('writing back in place', () => {
  test.use({ permission: 'denied' });

  test('the user denying write permission loses nothing and is offered a download', async ({ page, work }) => {
    const rom = await sampleRom(work);
    const expected = await copyOf(rom, 'expected.gba');
    await cli('set', expected, '13', 'price=999');
    await openRom(page, rom);
    await savePrice(page, 13, '999');
    const saved = await downloaded(page, work, () => answer(page, 'downloadQuestion', 'Yes'));
    expect(saved.name).toBe('sample.gba');
    expect(saved.bytes.equals(await readFile(expected))).toBe(true);
    expect(await takeMessage(page)).toEqual({ title: 'Quillbox', text: 'Item Changed' });
    expect(await writes(page)).toBe(0);
  });
});

test('tables the ROM names are kept for it in the browser when the user says Yes', async ({ page, work }) => {
  const hack = await sampleRom(work, 'hack.gba', '--hack');
  await openRom(page, hack);
  const question = await answer(page, 'tableDetectionQuestion', 'Yes');
  expect(question).toContain("They are kept for this ROM alone, in this browser's storage for hack.gba.");
  const count = Number((await cli('info', hack, '--detect')).match(/^items: (\d+)$/m)[1]);
  await expect(page.locator('#cboitem option')).toHaveCount(count);
  await page.reload();
  await page.locator('body[data-ready=true]').waitFor();
  await openRom(page, hack);
  await expect(page.locator('#cboitem option')).toHaveCount(count);
  await expect(page.locator('#questionBox[open]')).toHaveCount(0);
});

test('from a file on disk the page works, shows About and the read-me, and requests nothing', async ({ browser, work }) => {
  const page = await browser.newPage();
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  await page.addInitScript(() => Object.defineProperty(window, 'showOpenFilePicker', { value: undefined }));
  await page.goto(`file://${pageFile}`);
  await page.locator('body[data-ready=true]').waitFor();
  // As the window starts: nothing to edit before a ROM is open.
  for (const id of ['save', 'mnuFileSave', 'Command2', 'Command3', 'cboitem', 'iname', 'price', 'index', 'descp',
    'Text3', 'IMGOFF', 'PALOFF', 'pock', 'sp1', 'sp2', 'Mys1', 'Mys2', 'Bu', 'FUCP', 'BUCP', 'mnuEditUndo']) {
    await expect(page.locator(`#${id}`), id).toBeDisabled();
  }
  for (const id of ['Command1', 'mnuFileOpen', 'cboattack']) await expect(page.locator(`#${id}`), id).toBeEnabled();
  await expect(page.locator('#cboitem option')).toHaveText(['Item List']);
  await openRom(page, await sampleRom(work));
  await expect(page.locator('#cboitem option')).toHaveCount(375);
  await page.focus('#cboitem');
  const order = [];
  for (let step = 0; step < 5; ++step) {
    await page.keyboard.press('Tab');
    order.push(await page.evaluate(() => document.activeElement.id));
  }
  expect(order).toEqual(['pock', 'price', 'index', 'save', 'Command1']);

  await page.click('#mnuHelp .menu-title');
  await page.click('#mnuHelpAbout');
  await expect(page.locator('#frmAbout')).toBeVisible();
  await expect(page.locator('#lblVersion')).toHaveText('Version: 1.0.0');
  await expect(page.locator('#lblDescription')).toHaveText(/^Credits:/);
  await page.keyboard.press('Escape');
  await expect(page.locator('#frmAbout')).toBeHidden();

  await page.focus('#descp');
  await page.keyboard.press('F1');
  await expect(page.locator('#readmeText')).toHaveText((await readFile(readmeFile, 'utf8')).replace(/\r\n/g, '\n'));
  await page.click('#readmeClose');
  expect(requests).toEqual([`file://${pageFile}`]);
  await page.close();
});
