// What the page's tests share: a folder of their own, sample ROMs and the command-line tool to
// say what the core writes, the page served from memory with every other request refused, and
// a stand-in for the File System Access API that reads the test's files and keeps what is written.
import { test as base, expect } from '@playwright/test';
import { execFile } from 'node:child_process';
import { mkdtemp, readFile, rm, copyFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { cliProgram, pageFile } from './browser.mjs';

export { expect };
export const pageUrl = 'http://quillbox.localhost/quillbox.html';
const run = promisify(execFile);

// The command-line tool on the same core: what it writes is what the page must write.
export async function cli(...args) {
  try {
    const { stdout } = await run(cliProgram, args, { maxBuffer: 1 << 26 });
    return stdout;
  } catch (error) {
    throw new Error(`quillbox-cli ${args.join(' ')}: ${error.stderr || error.message}`);
  }
}

// The refusal the command-line tool prints, without its name.
export async function cliRefusal(...args) {
  try {
    await run(cliProgram, args);
  } catch (error) {
    return String(error.stderr).replace(/^quillbox-cli: /, '').trim();
  }
  throw new Error(`quillbox-cli ${args.join(' ')} was expected to refuse`);
}

// Installed before the page's script: showOpenFilePicker answers with the files the test gives
// the file chooser, handles write into memory, and the test collects what was written.
function installFileSystemAccess(permission) {
  const files = new Map();
  const state = { permission, writes: [], files };
  window.__fsa = state;
  const handle = (name) => ({
    kind: 'file',
    name,
    async getFile() { return files.get(name); },
    async queryPermission() { return state.permission === 'granted' ? 'granted' : 'prompt'; },
    async requestPermission() { return state.permission; },
    async isSameEntry(other) { return other.name === name; },
    async createWritable() {
      const chunks = [];
      return {
        async write(data) { chunks.push(data); },
        async close() { files.set(name, new File(chunks, name)); state.writes.push(name); },
        async abort() {},
      };
    },
  });
  const choose = () => new Promise((resolve) => {
    const input = document.createElement('input');
    input.type = 'file';
    input.multiple = true;
    input.addEventListener('change', () => resolve(Array.from(input.files)));
    input.addEventListener('cancel', () => resolve([]));
    input.click();
  });
  window.showOpenFilePicker = async () => {
    const chosen = await choose();
    if (!chosen.length) throw new DOMException('The user aborted a request.', 'AbortError');
    return chosen.map((file) => { files.set(file.name, file); return handle(file.name); });
  };
  window.showSaveFilePicker = async ({ suggestedName }) => {
    files.set(suggestedName, new File([], suggestedName));
    return handle(suggestedName);
  };
  state.hand = (name) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(files.get(name));
    link.download = name;
    link.click();
  };
}

function withoutFileSystemAccess() {
  for (const name of ['showOpenFilePicker', 'showSaveFilePicker']) {
    Object.defineProperty(window, name, { value: undefined, configurable: true, writable: true });
  }
}

export const test = base.extend({
  // 'stub': the File System Access API stands in; 'none': a browser without it.
  fileAccess: ['stub', { option: true }],
  permission: ['granted', { option: true }],

  work: async ({}, use) => {
    const folder = await mkdtemp(join(tmpdir(), 'quillbox-page-'));
    await use(folder);
    await rm(folder, { recursive: true, force: true });
  },

  // Every request but the page itself is refused and counted; a test that saw one fails.
  foreignRequests: async ({ context }, use) => {
    const foreign = [];
    await context.route('**/*', (route) => {
      const url = route.request().url();
      if (url === pageUrl) return route.fulfill({ path: pageFile, contentType: 'text/html; charset=utf-8' });
      foreign.push(url);
      return route.abort();
    });
    await use(foreign);
    expect(foreign, 'requests other than the page').toEqual([]);
  },

  page: async ({ page, foreignRequests, fileAccess, permission }, use, testInfo) => {
    const errors = [];
    const console = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('console', (message) => console.push(`${message.type()}: ${message.text()}`));
    if (fileAccess === 'stub') await page.addInitScript(installFileSystemAccess, permission);
    else await page.addInitScript(withoutFileSystemAccess);
    await page.goto(pageUrl);
    await page.locator('body[data-ready=true]').waitFor();
    await use(page);
    if (console.length) await testInfo.attach('console', { body: console.join('\n') });
    expect(errors, 'errors in the page').toEqual([]);
    void foreignRequests;
  },
});

export async function sampleRom(work, name = 'sample.gba', ...options) {
  const path = join(work, name);
  await cli('sample-rom', path, ...options);
  return path;
}

export async function copyOf(path, name) {
  const copy = join(path, '..', name);
  await copyFile(path, copy);
  return copy;
}

// Chooses the files in the file chooser the click opens.
export async function choose(page, selector, files) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click(selector)]);
  await chooser.setFiles(files);
}

// Opens a ROM with the Open button; waits for its items or for what the page says instead.
export async function openRom(page, files) {
  await page.evaluate(() => { delete document.getElementById('cboitem').dataset.shown; });
  await choose(page, '#Command1', files);
  await page.waitForFunction(() => document.getElementById('cboitem').dataset.shown !== undefined ||
    document.querySelector('dialog[open]'));
}

// The open message box: its title and text, closed with OK.
export async function takeMessage(page) {
  const box = page.locator('#messageBox[open]');
  await box.waitFor();
  const message = { title: await page.textContent('#messageTitle'), text: await page.textContent('#messageText') };
  await page.click('#messageOK');
  await page.locator('#messageBox[open]').waitFor({ state: 'hidden' });
  return message;
}

// Answers the open question of that name; gives its text.
export async function answer(page, name, button) {
  const box = page.locator(`#questionBox[open][data-name="${name}"]`);
  await box.waitFor();
  const text = await page.textContent('#questionText');
  await page.click(`#question${button}`);
  await page.locator('#questionBox[open]').waitFor({ state: 'hidden' });
  return text;
}

// Selects an item and waits until the controls show it.
export async function selectItem(page, position) {
  await page.evaluate(() => { delete document.getElementById('cboitem').dataset.shown; });
  await page.locator('#cboitem').selectOption({ index: position });
  await page.locator(`#cboitem[data-shown="${position}"]`).waitFor({ state: 'attached' });
}

// Waits until the page has written the file through the stand-in `count` times in all.
export async function writtenTimes(page, count) {
  await expect.poll(() => page.evaluate(() => window.__fsa.writes.length)).toBe(count);
}

// Sets a text box as a person types into it: the page's input rules apply.
export async function retype(page, id, text) {
  await page.fill(`#${id}`, '');
  await page.locator(`#${id}`).pressSequentially(text);
}

// What the page last wrote through the stand-in to the file of that name.
export async function writtenFile(page, work, name) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.evaluate((n) => window.__fsa.hand(n), name)]);
  const path = join(work, `written-${Date.now()}-${name}`);
  await download.saveAs(path);
  return readFile(path);
}

export async function downloaded(page, work, action) {
  const [download] = await Promise.all([page.waitForEvent('download'), action()]);
  const path = join(work, `downloaded-${Date.now()}-${download.suggestedFilename()}`);
  await download.saveAs(path);
  return { name: download.suggestedFilename(), bytes: await readFile(path) };
}

export async function writes(page) {
  return page.evaluate(() => window.__fsa.writes.length);
}
