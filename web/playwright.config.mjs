import { defineConfig } from '@playwright/test';
import { chromiumOptions } from './tests/browser.mjs';

// The page's tests run in the system's Chromium, headless, each browser with a profile folder of
// its own that Playwright makes and removes.
export default defineConfig({
  testDir: './tests',
  testMatch: '*.spec.mjs',
  workers: 2,
  timeout: 60_000,
  expect: { timeout: 15_000 },
  reporter: [['list']],
  forbidOnly: true,
  use: {
    browserName: 'chromium',
    launchOptions: chromiumOptions(),
    acceptDownloads: true,
    viewport: { width: 1000, height: 700 },
  },
});
