// Where the page, the command-line tool and the browser are, for the tests, the benchmark and the
// screenshot: the test command names them; by hand the defaults of a build in build/ serve.
import { fileURLToPath } from 'node:url';
import { dirname, resolve } from 'node:path';

const top = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');

export const pageFile = process.env.QUILLBOX_PAGE || resolve(top, 'build/web/quillbox.html');
export const cliProgram = process.env.QUILLBOX_CLI || resolve(top, 'build/dev/bin/quillbox-cli');
export const readmeFile = resolve(top, 'docs/Readme.txt');

export function chromiumOptions() {
  return {
    executablePath: process.env.QUILLBOX_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  };
}
