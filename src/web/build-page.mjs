// Puts the page together as one file: markup, styles, the page's script, the core's script with
// its WebAssembly beside it, and the window's pictures as data URLs. Nothing is left to fetch.
// node build-page.mjs PAGE_FOLDER IMAGE_FOLDER MODULE_JS OUTPUT_HTML
import { readFileSync, writeFileSync, renameSync } from 'node:fs';
import { join } from 'node:path';

const [pageFolder, imageFolder, moduleScript, output] = process.argv.slice(2);
const read = (path) => readFileSync(path, 'utf8');
// A script inside <script> ends at the first "</script", wherever it stands.
const script = (text) => text.replace(/<\/script/gi, '<\\/script');
const dataUrl = (path) => 'data:image/png;base64,' + readFileSync(path).toString('base64');

// The core's script carries its WebAssembly as a data URL inside it. Taken out into a block of
// its own that the page decodes, it is neither parsed as part of a script nor fetched as a URL,
// which made up a third of the time the page took to start.
const core = read(moduleScript);
const embedded = core.match(/wasmBinaryFile="data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)"/);
if (!embedded) throw new Error(`${moduleScript} holds no WebAssembly as a data URL`);

const parts = {
  '/*STYLE*/': read(join(pageFolder, 'quillbox.css')),
  '/*CORE*/': script(core.replace(embedded[0], 'wasmBinaryFile="quillbox.wasm"')),
  '/*WASM*/': embedded[1],
  '/*FILES*/': script(read(join(pageFolder, 'files.js'))),
  '/*WINDOW*/': script(read(join(pageFolder, 'window.js'))),
  'BANNER_PNG': dataUrl(join(imageFolder, 'banner.png')),
  'ICON_PNG': dataUrl(join(imageFolder, 'icon.png')),
};
let page = read(join(pageFolder, 'quillbox.html'));
for (const [mark, text] of Object.entries(parts)) {
  if (!page.includes(mark)) throw new Error(`quillbox.html lacks ${mark}`);
  page = page.split(mark).join(text);
}
writeFileSync(output + '.tmp', page);
renameSync(output + '.tmp', output);
