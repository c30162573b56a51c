// Times the page in headless Chromium on this machine, as the page measures itself with
// performance.now(): ready to open a file after load, opening a 16 MiB ROM with its item list,
// showing an item, and a save (the core's write, then the write back into the file).
// Run by hand: npm run bench  (needs build/web/quillbox.html and the command-line tool built).
// The page is loaded from its file, in a fresh browser context each round.
import { chromium } from '@playwright/test';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromiumOptions, cliProgram, pageFile } from '../tests/browser.mjs';

const url = `file://${pageFile}`;
const rounds = Number(process.env.QUILLBOX_BENCH_ROUNDS || 7);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const work = mkdtempSync(join(tmpdir(), 'quillbox-bench-'));
const rom = join(work, 'sample.gba');
execFileSync(cliProgram, ['sample-rom', rom]);

// Written back through a stand-in for the File System Access API that keeps the bytes in memory.
function fileSystemAccess() {
  window.showOpenFilePicker = () => new Promise((resolve) => {
    const input = document.createElement('input');
    input.type = 'file';
    input.addEventListener('change', () => resolve(Array.from(input.files).map((file) => ({
      kind: 'file', name: file.name, getFile: async () => file,
      queryPermission: async () => 'granted',
      createWritable: async () => ({ write: async () => {}, close: async () => {}, abort: async () => {} }),
    }))));
    input.click();
  });
}

const browser = await chromium.launch(chromiumOptions());
const figures = { ready: [], readyAfterArrival: [], open: [], openAndShow: [], show: [], showCore: [], save: [], writeBack: [] };
try {
  for (let round = 0; round < rounds; ++round) {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.addInitScript(fileSystemAccess);
    await page.goto(url);
    await page.locator('body[data-ready=true]').waitFor();
    figures.ready.push(await page.evaluate(() => quillboxTimings.ready));
    figures.readyAfterArrival.push(await page.evaluate(() =>
      quillboxTimings.ready - performance.getEntriesByType('navigation')[0].responseEnd));

    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#Command1')]);
    await chooser.setFiles(rom);
    await page.waitForFunction(() => quillboxTimings.openAndShow !== undefined);
    figures.open.push(await page.evaluate(() => quillboxTimings.open));
    figures.openAndShow.push(await page.evaluate(() => quillboxTimings.openAndShow));

    const shownTimes = await page.evaluate(async () => {
      const list = document.getElementById('cboitem');
      const shown = [];
      for (let position = 1; position <= 60; ++position) {
        delete quillboxTimings.show;
        list.selectedIndex = position * 5;
        list.dispatchEvent(new Event('change'));
        while (quillboxTimings.show === undefined) await new Promise((resolve) => setTimeout(resolve, 0));
        shown.push([quillboxTimings.show, quillboxTimings.showCore]);
      }
      return shown;
    });
    figures.show.push(...shownTimes.map(([whole]) => whole));
    figures.showCore.push(...shownTimes.map(([, core]) => core));

    await page.locator('#cboitem').selectOption({ index: 13 });
    await page.fill('#price', String(100 + round));
    await page.click('#save');
    await page.locator('#messageBox[open]').waitFor();
    figures.save.push(await page.evaluate(() => quillboxTimings.save));
    figures.writeBack.push(await page.evaluate(() => quillboxTimings.writeBack));
    await context.close();
  }
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}

const labels = {
  ready: 'page ready to open a file, from navigation start',
  readyAfterArrival: 'the same, from the page file read',
  open: 'open a 16 MiB ROM and list its items (file read included)',
  openAndShow: 'the same, with the first item shown',
  show: 'show an item',
  showCore: 'the same, the core\'s part (reading it and its words)',
  save: 'save an item (the core\'s checks and write)',
  writeBack: 'write the 16 MiB ROM back through the file handle',
};
for (const [key, label] of Object.entries(labels)) {
  const values = figures[key];
  console.log(`${label.padEnd(62)} median ${median(values).toFixed(1).padStart(7)} ms   max ${Math.max(...values).toFixed(1).padStart(7)} ms   (${values.length})`);
}
