// Takes docs/screenshot-browser.png: the page in headless Chromium with the sample ROM open.
// Run by hand: npm run screenshot
import { chromium } from '@playwright/test';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromiumOptions, cliProgram, pageFile } from './tests/browser.mjs';

const output = resolve(dirname(fileURLToPath(import.meta.url)), '..', 'docs', 'screenshot-browser.png');
const work = mkdtempSync(join(tmpdir(), 'quillbox-shot-'));
const rom = join(work, 'sample-firered.gba');
execFileSync(cliProgram, ['sample-rom', rom]);
const browser = await chromium.launch(chromiumOptions());
try {
  const page = await browser.newPage({ viewport: { width: 1230, height: 980 } });
  await page.addInitScript(() => Object.defineProperty(window, 'showOpenFilePicker', { value: undefined }));
  await page.goto(`file://${pageFile}`);
  await page.locator('body[data-ready=true]').waitFor();
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#Command1')]);
  await chooser.setFiles(rom);
  await page.waitForFunction(() => document.querySelectorAll('#cboitem option').length > 1);
  await page.locator('#cboitem').selectOption({ index: 13 });
  await page.waitForFunction(() => document.getElementById('iname').value !== '????????');
  const box = await page.locator('#Form1').boundingBox();
  await page.screenshot({ path: output, clip: box });
  console.log(`wrote ${output}`);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
