'use strict';
// The window in the page: moves values between the controls and the core's calls, asks the
// core's questions and shows its messages. Every rule is the core's; this script only wires.
(() => {
  const $ = (id) => document.getElementById(id);
  const Files = QuillboxFiles;
  let core = null;
  let FS = null;
  let texts = null;

  const page = {
    rom: null,            // { name, size, handle }: the file the ROM came from
    paths: null,          // where the core keeps it, its history and its tables
    dirty: false,         // the ROM in the page differs from the file it came from
    writeBackRefused: false,
    shownItem: -1,
    room: 0,              // the description's room, as Text2 shows it
    allowLonger: false,
    keepHistory: true,
  };
  // What the page's own operations took, for the benchmark (milliseconds).
  const timings = (self.quillboxTimings = {});

  const editing = ['cboitem', 'pock', 'iname', 'price', 'sp1', 'sp2', 'save', 'descp', 'Text3', 'Command2', 'index',
    'Mys1', 'Mys2', 'Bu', 'FUCP', 'BUCP'];
  const imageControls = ['IMGOFF', 'PALOFF', 'Command3'];
  const romMenus = ['mnuFileSave', 'mnuFileDownload', 'mnuFileDownloadHistory', 'mnuExportJson', 'mnuExportCsv',
    'mnuImportItems', 'mnuCompare', 'mnuFindTables'];
  const textBoxes = ['iname', 'price', 'index', 'Text3', 'IMGOFF', 'PALOFF', 'FUCP', 'BUCP'];
  const lists = { pock: 'pocket', Mys1: 'mystery1', Mys2: 'mystery2', Bu: 'battleUsage' };

  // --- Dialogs -------------------------------------------------------------------------------

  function modal(dialog, setUp) {
    return new Promise((resolve) => {
      const finish = (value) => {
        dialog.removeEventListener('cancel', onCancel);
        dialog.removeEventListener('click', onClick);
        if (dialog.open) dialog.close();
        resolve(value);
      };
      const onCancel = (event) => { event.preventDefault(); finish('cancel'); };
      const onClick = (event) => {
        const button = event.target.closest('button');
        if (button && button.value) finish(button.value);
      };
      setUp();
      dialog.addEventListener('cancel', onCancel);
      dialog.addEventListener('click', onClick);
      dialog.showModal();
    });
  }

  // A message box with an OK button: the title is "Quillbox" or "Error: " and the error's number.
  function showMessage(message) {
    const box = $('messageBox');
    $('messageOK').value = 'ok';
    return modal(box, () => {
      $('messageTitle').textContent = message.title;
      $('messageText').textContent = message.text;
      box.dataset.title = message.title;
    });
  }

  // A question with Yes and No (and Cancel where offered): "yes", "no" or "cancel". Escape is
  // Cancel where there is one, else No.
  async function ask(text, { name = '', no = true, cancel = false } = {}) {
    const box = $('questionBox');
    const answer = await modal(box, () => {
      $('questionTitle').textContent = texts.title;
      $('questionText').textContent = text;
      box.dataset.name = name;
      $('questionNo').hidden = !no;
      $('questionCancel').hidden = !cancel;
      $('questionYes').focus();
    });
    return answer === 'cancel' && !cancel ? 'no' : answer;
  }

  const showResult = (result) => (result && result.message ? showMessage(result.message) : Promise.resolve());

  function notice(near, text) {
    near.title = text;
    if (!text) return;
    const tip = $('tooltip');
    const box = near.getBoundingClientRect();
    tip.textContent = text;
    tip.style.left = `${box.left}px`;
    tip.style.top = `${box.bottom + 2}px`;
    tip.hidden = false;
    clearTimeout(notice.timer);
    notice.timer = setTimeout(() => { tip.hidden = true; }, 6000);
  }

  // --- Controls ------------------------------------------------------------------------------

  const enable = (ids, on) => ids.forEach((id) => { $(id).disabled = !on; });
  const chars = (text) => Array.from(text).length;

  function setStatus() {
    let text = '';
    if (page.rom) {
      text = page.dirty ? `${page.rom.name}: changed in this page, not yet in its file (Save ${page.rom.handle && !page.writeBackRefused ? 'writes it back' : 'downloads it'})`
        : `${page.rom.name}${page.rom.handle && !page.writeBackRefused ? ': every change is written back to the file' : ''}`;
    }
    $('status').textContent = text;
    document.title = page.rom ? `${page.dirty ? '* ' : ''}${page.rom.name} - ${texts.title}` : texts.title;
  }

  function fillList(select, entries) {
    select.replaceChildren(...entries.map((entry) => new Option(entry)));
    select.selectedIndex = -1;
  }

  // Selects the entry of a stored value; a value with no entry shows as its number with no entry
  // chosen, and a save then leaves it as stored.
  function showListValue(select, position, unlisted) {
    select.querySelectorAll('option[data-unlisted]').forEach((option) => option.remove());
    if (position >= 0 && position < select.options.length) {
      select.selectedIndex = position;
      return;
    }
    const option = new Option(unlisted);
    option.dataset.unlisted = 'true';
    option.hidden = true;
    select.append(option);
    select.selectedIndex = option.index;
  }

  function listValue(select) {
    const option = select.options[select.selectedIndex];
    return option && !option.dataset.unlisted ? select.selectedIndex : null;
  }

  // Text the program puts in a box: never cut, and the measure for the next edit's limit.
  function setText(id, text) {
    const box = $(id);
    box.value = text;
    box.dataset.before = String(chars(box.value));
  }

  function keepFieldRule(box) {
    const value = box.value;
    const cursor = chars(value.slice(0, box.selectionStart ?? value.length));
    const kept = core.keepField(box.id, Number(box.dataset.before || 0), value, cursor);
    if (kept.text !== value) {
      box.value = kept.text;
      const at = Array.from(kept.text).slice(0, kept.cursor).join('').length;
      box.setSelectionRange(at, at);
    }
    box.dataset.before = String(chars(box.value));
  }

  // Typing into the description stops at its room, as the window's key rule says; a line
  // break is Enter (13) and a paste Ctrl+V (22) to that rule.
  function descriptionKey(event) {
    if (page.allowLonger) return;
    let key = null;
    switch (event.inputType) {
      case 'insertText': case 'insertReplacementText': case 'insertCompositionText':
        key = event.data ? event.data.codePointAt(0) : null; break;
      case 'insertLineBreak': case 'insertParagraph': key = 13; break;
      case 'insertFromPaste': key = 22; break;
      default: return;
    }
    if (key !== null && !core.descriptionTakesKey(key, page.room, core.countDescription($('descp').value))) {
      event.preventDefault();
    }
  }

  function countDescription() { $('Text1').value = String(core.countDescription($('descp').value)); }

  function showDescription(description, room, count) {
    $('descp').value = description;
    page.room = room;
    setText('Text2', String(room));
    setText('Text1', String(count));
  }

  function drawIcon() {
    const result = core.icon($('IMGOFF').value, $('PALOFF').value);
    if (result.message) return showMessage(result.message);
    const pixels = new ImageData(24, 24);
    pixels.data.set(result.rgba);
    $('picItem').getContext('2d').putImageData(pixels, 0, 0);
    return Promise.resolve();
  }

  function fillItemList(names) {
    const list = $('cboitem');
    list.replaceChildren(...names.map((name) => new Option(name)));
  }

  async function showItem(position) {
    const started = performance.now();
    const item = core.showItem(position);
    if (item.message) {
      // The controls still hold the item shown before: the selection goes back to it.
      $('cboitem').selectedIndex = item.position;
      return showMessage(item.message);
    }
    page.shownItem = position;
    if (item.imageOffset !== undefined) {
      setText('IMGOFF', item.imageOffset);
      setText('PALOFF', item.paletteOffset);
      await drawIcon();
    }
    setText('iname', item.name);
    setText('index', String(item.index));
    setText('price', String(item.price));
    showListValue($('sp1'), item.special1, String(item.special1));
    showListValue($('sp2'), item.special2, String(item.special2));
    showListValue($('pock'), item.pocket, String(item.pocket));
    showListValue($('Mys1'), item.mystery1, String(item.mystery1));
    showListValue($('Mys2'), item.mystery2, String(item.mystery2));
    showListValue($('Bu'), item.battleUsage, String(item.battleUsage));
    setText('FUCP', item.fieldUsageCodePointer);
    setText('BUCP', item.battleUsageCodePointer);
    setText('Text3', item.descriptionOffset);
    showDescription(item.description, item.room, item.count);
    const attack = $('cboattack');
    if (item.tmMove !== null) {
      attack.disabled = false;
      showListValue(attack, item.tmMove - 1, item.tmMove === 0 ? '' : String(item.tmMove));
    } else {
      attack.disabled = true;
    }
    // An unknown TM/HM list shows no move rather than a number read from some other table.
    if (item.tmMoveUnknown) showListValue(attack, -1, texts.tmMoveUnavailable);
    attack.title = item.tmMoveUnknown ? texts.tmMovesUnknownTip : '';
    timings.show = performance.now() - started;
    // Who drives the page (a test, a script) sees which item the controls now hold.
    $('cboitem').dataset.shown = String(position);
    return undefined;
  }

  function select(position) {
    $('cboitem').selectedIndex = position;
    return showItem(position);
  }

  function refreshEditMenu() {
    const menu = core.historyMenu();
    const name = (verb, change) => (change === null ? verb : `${verb} ${change}`);
    $('mnuEditUndo').lastChild.textContent = name('ndo', menu.undo);
    $('mnuEditRedo').lastChild.textContent = name('edo', menu.redo);
    $('mnuEditUndo').disabled = menu.undo === null;
    $('mnuEditRedo').disabled = menu.redo === null;
    $('mnuEditUndo').dataset.text = name('Undo', menu.undo);
    $('mnuEditRedo').dataset.text = name('Redo', menu.redo);
  }

  function refuseRom() {
    enable([...editing, ...imageControls, 'Label3', 'cboattack', ...romMenus], false);
    $('Label3').classList.add('disabled');
    refreshEditMenu();
  }

  // --- Files ---------------------------------------------------------------------------------

  const exists = (path) => { try { FS.stat(path); return true; } catch { return false; } };
  const readIfThere = (path) => (exists(path) ? FS.readFile(path) : null);

  // The history and the found tables go to the browser's storage after every change, so that a
  // reload finds them for the same file.
  async function keepSideFiles() {
    if (!page.rom) return;
    await Files.storage.put(page.rom, 'history', readIfThere(page.paths.history));
    await Files.storage.put(page.rom, 'tables', readIfThere(page.paths.tables));
  }

  function downloadRom() {
    Files.download(page.rom.name, FS.readFile(page.paths.rom));
    page.dirty = false;
    setStatus();
  }

  // The core wrote to the ROM in the page: the file follows where the browser lets it be written
  // in place; elsewhere a Save downloads it, and until then the page holds the only copy.
  async function afterWrite({ save = false } = {}) {
    page.dirty = true;
    refreshEditMenu();
    await keepSideFiles();
    if (page.rom.handle && !page.writeBackRefused) {
      const started = performance.now();
      const failure = await Files.writeBack(page.rom.handle, FS.readFile(page.paths.rom));
      timings.writeBack = performance.now() - started;
      if (!failure) {
        page.dirty = false;
      } else {
        page.writeBackRefused = true;
        setStatus();
        const answer = await ask(`${page.rom.name} could not be written back: ${failure}.\n\nDownload the changed ROM instead?`,
          { name: 'downloadQuestion' });
        if (answer === 'yes') downloadRom();
      }
    } else if (save) {
      downloadRom();
    }
    setStatus();
  }

  // Nothing unsaved is dropped without asking: "yes" downloads it first, "cancel" keeps it open.
  async function mayLeaveRom() {
    if (!page.rom || !page.dirty) return true;
    const answer = await ask(`${page.rom.name} has changes that are not in its file yet.\n\nDownload it first?`,
      { name: 'unsavedQuestion', cancel: true });
    if (answer === 'cancel') return false;
    if (answer === 'yes') downloadRom();
    return true;
  }

  const isHistory = (name) => name.endsWith('.quillbox-history');
  const isTables = (name) => name.endsWith('.quillbox-tables');

  function clearFolder(folder) {
    for (const name of FS.readdir(folder)) if (name !== '.' && name !== '..') FS.unlink(`${folder}/${name}`);
  }

  async function openFiles(chosen) {
    if (!(await mayLeaveRom())) return;
    const started = performance.now();
    const entry = chosen.find((c) => !isHistory(c.file.name) && !isTables(c.file.name));
    page.rom = null;
    page.dirty = false;
    page.writeBackRefused = false;
    page.shownItem = -1;
    fillItemList([]);
    delete $('cboitem').dataset.shown;
    if (!entry) {
      refuseRom();
      setStatus();
      await showMessage({ title: texts.title, text: texts.unsupportedRom });
      return;
    }
    const rom = { name: entry.file.name, size: entry.file.size, handle: entry.handle };
    const paths = core.filesOf(rom.name);
    clearFolder(paths.folder);
    FS.writeFile(paths.rom, new Uint8Array(await entry.file.arrayBuffer()));
    // A history or tables file chosen with the ROM wins over what the browser kept for it.
    for (const [kind, path, given] of [['history', paths.history, chosen.find((c) => isHistory(c.file.name))],
      ['tables', paths.tables, chosen.find((c) => isTables(c.file.name))]]) {
      const bytes = given ? new Uint8Array(await given.file.arrayBuffer()) : await Files.storage.get(rom, kind);
      if (bytes) FS.writeFile(path, bytes);
    }
    timings.read = performance.now() - started;
    await openInPage(rom, paths, started);
  }

  // Opens the ROM the page holds, asking about the tables it names where the core proposes them.
  async function openInPage(rom, paths, started = performance.now()) {
    let opened = core.openRom(rom.name);
    if (opened.question !== undefined) {
      const answer = await ask(opened.question, { name: 'tableDetectionQuestion' });
      opened = core.answerFoundTables(answer === 'yes');
    }
    if (opened.items === undefined) {
      refuseRom();
      setStatus();
      await showMessage(opened.message);
      return;
    }
    page.rom = rom;
    page.paths = paths;
    enable([...editing, ...romMenus], true);
    $('Label3').classList.remove('disabled');
    enable(imageControls, opened.hasImages);
    fillItemList(opened.items);
    for (const [id, key] of Object.entries(lists)) fillList($(id), opened[key]);
    fillList($('cboattack'), opened.moves);
    timings.open = performance.now() - started;
    await keepSideFiles();
    setStatus();
    await select(0);
    refreshEditMenu();
    timings.openAndShow = performance.now() - started;
    if (opened.message) await showMessage(opened.message);
  }

  async function chooseAndOpen() {
    let chosen;
    try {
      chosen = await Files.chooseRomFiles($('romFile'));
    } catch (error) {
      await showMessage({ title: texts.title, text: String(error && error.message || error) });
      return;
    }
    await openFiles(chosen);
  }

  // A file to write: where the browser offers a save dialog the user picks the place, else a download.
  async function saveAs(name, bytes, type) {
    if (typeof self.showSaveFilePicker === 'function') {
      let handle;
      try {
        handle = await self.showSaveFilePicker({ suggestedName: name });
      } catch (error) {
        if (error && error.name === 'AbortError') return;
        throw error;
      }
      const failure = await Files.writeBack(handle, bytes);
      if (failure) await showMessage({ title: texts.title, text: `${name} could not be written: ${failure}.` });
      return;
    }
    Files.download(name, bytes, type);
  }

  // --- Handlers ------------------------------------------------------------------------------

  async function saveClick() {
    const position = $('cboitem').selectedIndex;
    if (position < 0 || !page.rom) return;
    const started = performance.now();
    const values = {
      name: $('iname').value, price: $('price').value, index: $('index').value,
      special1: listValue($('sp1')), special2: listValue($('sp2')), pocket: listValue($('pock')),
      mystery1: listValue($('Mys1')), mystery2: listValue($('Mys2')), battleUsage: listValue($('Bu')),
      tmMove: listValue($('cboattack')), fieldUsageCodePointer: $('FUCP').value,
      battleUsageCodePointer: $('BUCP').value, description: $('descp').value,
    };
    const answers = {};
    for (;;) {
      const step = core.saveItem(position, values, answers);
      if (step.question) {
        const question = step.question;
        answers[question.topic] = await ask(question.text,
          { name: question.id, no: question.offersNo, cancel: question.offersCancel });
        continue;
      }
      if (step.saved) {
        timings.save = performance.now() - started;
        await afterWrite({ save: true });
        await showMessage(step.saved);
        fillItemList(step.items);
        await select(position);
        return;
      }
      await showResult(step);
      return;
    }
  }

  async function repointDescription() {
    const result = core.repointDescription($('Text3').value);
    if (result.description === undefined) { await showResult(result); return; }
    await afterWrite();
    showDescription(result.description, result.room, result.count);
    if (result.message) await showMessage(result.message);
    notice($('Command2'), result.notice);
  }

  async function repointImage() {
    const result = core.repointImage($('IMGOFF').value, $('PALOFF').value);
    if (result.notice === undefined) { await showResult(result); return; }
    await afterWrite();
    await drawIcon();
    notice($('Command3'), result.notice);
  }

  async function stepHistory(undo) {
    if (!page.rom) return;
    const result = undo ? core.undo() : core.redo();
    refreshEditMenu();
    if (result.items === undefined) { await showResult(result); return; }
    await afterWrite();
    fillItemList(result.items);
    await select(result.position);
  }

  function pickOne(inputId) {
    return Files.chooseWithInput($(inputId)).then((files) => (files.length ? files[0].file : null));
  }

  async function importIcon() {
    const refusal = core.iconRefusal();
    if (refusal !== null) { await showResult(refusal); return; }
    const file = await pickOne('pngFile');
    if (!file) return;
    FS.writeFile(page.paths.png, new Uint8Array(await file.arrayBuffer()));
    const result = core.importIcon();
    if (result.imageOffset === undefined) { await showResult(result); return; }
    await afterWrite();
    // Only the icon is shown again: edits not yet saved in the other controls stay.
    setText('IMGOFF', result.imageOffset);
    setText('PALOFF', result.paletteOffset);
    await drawIcon();
    await showResult(result);
  }

  async function exportIcon() {
    const refusal = core.iconRefusal();
    if (refusal !== null) { await showResult(refusal); return; }
    const result = core.exportIcon();
    if (result.message) { await showResult(result); return; }
    await saveAs(`${page.rom.name.replace(/\.[^.]*$/, '')}-${page.shownItem}.png`, FS.readFile(page.paths.png), 'image/png');
  }

  async function exportItems(format) {
    const result = core.exportItems(format);
    if (result.text === undefined) { await showResult(result); return; }
    await saveAs(`${page.rom.name.replace(/\.[^.]*$/, '')}.${format}`, new TextEncoder().encode(result.text),
      format === 'csv' ? 'text/csv' : 'application/json');
  }

  async function importItems() {
    const file = await pickOne('importFile');
    if (!file) return;
    const text = await file.text();
    let plan = core.planImport(text, file.name, false);
    if (plan.unknownCharacters) {
      const answer = await ask(`${plan.message.text}.\n\nImport them as spaces?`, { name: 'unknownCharactersQuestion' });
      if (answer !== 'yes') return;
      plan = core.planImport(text, file.name, true);
    }
    if (plan.lines === undefined) { await showResult(plan); return; }
    if (plan.changes === 0) { await showMessage({ title: texts.title, text: plan.summary }); return; }
    const answer = await ask(`${plan.lines}${plan.summary}; nothing written yet.\n\nWrite these changes?`, { name: 'importQuestion' });
    if (answer !== 'yes') return;
    const result = core.applyImport();
    if (result.items === undefined) { await showResult(result); return; }
    await afterWrite({ save: true });
    await showMessage({ title: texts.title, text: `${plan.summary} written` });
    fillItemList(result.items);
    await select(Math.max(page.shownItem, 0));
  }

  async function compareWith() {
    const file = await pickOne('compareFile');
    if (!file) return;
    const path = core.filesOf(file.name).compare;
    FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    try {
      const result = core.diffWith(file.name);
      if (result.lines === undefined) { await showResult(result); return; }
      await showMessage({ title: texts.title,
        text: result.changes === 0 ? `No item differs from ${file.name}.` : `Changes from ${page.rom.name} to ${file.name}:\n${result.lines}` });
    } finally {
      FS.unlink(path);
    }
  }

  async function findTables() {
    const found = core.detectTables();
    if (found.section === undefined) { await showResult(found); return; }
    if (found.refusal) {
      await showMessage({ title: found.refusal.message.title, text: `${found.section}\n${found.refusal.message.text}` });
      return;
    }
    const answer = await ask(`${found.section}\nUse these tables? They are kept for this ROM alone, in this browser's storage for ${page.rom.name}.`,
      { name: 'keepTablesQuestion' });
    if (answer !== 'yes') return;
    const kept = core.keepDetectedTables();
    if (kept.message) { await showResult(kept); return; }
    await keepSideFiles();
    await openInPage(page.rom, page.paths);
  }

  function downloadHistory() {
    const bytes = readIfThere(page.paths.history);
    if (!bytes) return showMessage({ title: texts.title, text: `${page.rom.name} has no history yet.` });
    Files.download(`${page.rom.name}.quillbox-history`, bytes);
    return undefined;
  }

  function showAbout() {
    $('frmAboutTitle').textContent = texts.aboutTitle;
    $('lblTitle').textContent = texts.title;
    $('lblVersion').textContent = texts.aboutVersion;
    $('lblDescription').textContent = texts.aboutCredits;
    $('lblDisclaimer').textContent = texts.aboutDisclaimer;
    $('cmdOK').value = 'ok';
    return modal($('frmAbout'), () => $('cmdOK').focus());
  }

  function showReadme() {
    $('readmeClose').value = 'close';
    return modal($('readmeBox'), () => { $('readmeText').textContent = core.readme(); });
  }

  // --- Menus, keys, drops --------------------------------------------------------------------

  function closeMenus() {
    document.querySelectorAll('.menu.open').forEach((menu) => menu.classList.remove('open'));
    document.querySelectorAll('.context-menu').forEach((menu) => { menu.hidden = true; });
  }

  function openContextMenu(menu, event) {
    closeMenus();
    menu.hidden = false;
    menu.style.left = `${event.clientX}px`;
    menu.style.top = `${event.clientY}px`;
  }

  // One handler at a time: what is clicked while another runs waits for it.
  let running = Promise.resolve();
  const run = (work) => (...args) => {
    closeMenus();
    running = running.then(() => work(...args)).catch((error) =>
      showMessage({ title: texts.title, text: String(error && error.message || error) }));
    return running;
  };

  const isTextBox = (element) => element && (element.tagName === 'TEXTAREA' ||
    (element.tagName === 'INPUT' && !element.readOnly && element.type !== 'file'));

  function wire() {
    const click = (id, handler) => $(id).addEventListener('click', run(handler));
    click('Command1', chooseAndOpen);
    click('mnuFileOpen', chooseAndOpen);
    click('save', saveClick);
    click('mnuFileSave', saveClick);
    click('Command2', repointDescription);
    click('Command3', repointImage);
    click('mnuEditUndo', () => stepHistory(true));
    click('mnuEditRedo', () => stepHistory(false));
    click('mnuFileDownload', async () => downloadRom());
    click('mnuFileDownloadHistory', downloadHistory);
    click('mnuExportJson', () => exportItems('json'));
    click('mnuExportCsv', () => exportItems('csv'));
    click('mnuImportItems', importItems);
    click('mnuCompare', compareWith);
    click('mnuFindTables', findTables);
    click('mnuHelpAbout', showAbout);
    click('mnuHelpmnuRead', showReadme);
    click('mnuImportIcon', importIcon);
    click('mnuExportIcon', exportIcon);
    $('mnuEditKeepHistory').addEventListener('click', () => {
      page.keepHistory = !page.keepHistory;
      $('mnuEditKeepHistory').setAttribute('aria-checked', String(page.keepHistory));
      core.setKeepHistory(page.keepHistory);
      closeMenus();
    });
    $('mnuAllowLongerDescription').addEventListener('click', () => {
      page.allowLonger = !page.allowLonger;
      $('mnuAllowLongerDescription').setAttribute('aria-checked', String(page.allowLonger));
      closeMenus();
    });
    // The item chosen now is shown, even when the click waited for an open still under way.
    $('cboitem').addEventListener('change', () => {
      const position = $('cboitem').selectedIndex;
      run(() => select(position))();
    });

    for (const id of textBoxes) $(id).addEventListener('input', (event) => keepFieldRule(event.target));
    $('descp').addEventListener('beforeinput', descriptionKey);
    $('descp').addEventListener('input', countDescription);

    document.querySelectorAll('.menu > .menu-title').forEach((title) => {
      title.addEventListener('click', (event) => {
        const menu = title.parentElement;
        const wasOpen = menu.classList.contains('open');
        closeMenus();
        if (!wasOpen) menu.classList.add('open');
        event.stopPropagation();
      });
      title.addEventListener('mouseenter', () => {
        if (document.querySelector('.menu.open') && !title.parentElement.classList.contains('open')) {
          closeMenus();
          title.parentElement.classList.add('open');
        }
      });
    });
    document.addEventListener('click', (event) => {
      if (!event.target.closest('.menu, .context-menu')) closeMenus();
    });
    // Shift with the right button gives the browser's own menu.
    $('descp').addEventListener('contextmenu', (event) => {
      if (!event.shiftKey) { event.preventDefault(); openContextMenu($('descpMenu'), event); }
    });
    $('picItem').addEventListener('contextmenu', (event) => {
      event.preventDefault();
      openContextMenu($('picItemMenu'), event);
    });
    for (const id of ['descp', 'picItem']) {
      let timer = null;
      $(id).addEventListener('mouseenter', () => {
        timer = setTimeout(() => {
          const tip = page.rom ? core.sharingTip(id) : '';
          $(id).title = tip;
        }, 400);
      });
      $(id).addEventListener('mouseleave', () => clearTimeout(timer));
    }

    document.addEventListener('keydown', (event) => {
      if (document.querySelector('dialog[open]')) return;
      if (event.key === 'F1') {
        event.preventDefault();
        run(showReadme)();
      } else if (event.key === 'Escape') {
        closeMenus();
      } else if ((event.ctrlKey || event.metaKey) && !event.altKey && event.key.toLowerCase() === 'z' &&
                 !isTextBox(document.activeElement)) {
        // In a text box the keys undo typing, as they do in the window's boxes.
        event.preventDefault();
        const undo = !event.shiftKey;
        if (!$(undo ? 'mnuEditUndo' : 'mnuEditRedo').disabled) run(() => stepHistory(undo))();
      }
    });

    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      document.body.classList.add('dragging');
    });
    document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      document.body.classList.remove('dragging');
      run(async () => openFiles(await Files.droppedFiles(event.dataTransfer)))();
    });
    addEventListener('beforeunload', (event) => {
      if (!page.dirty) return undefined;
      event.preventDefault();
      event.returnValue = '';
      return '';
    });
    addEventListener('resize', fitToWindow);
  }

  // The window's tab order, which is not the order the controls stand in.
  function setTabOrder() {
    ['cboitem', 'pock', 'price', 'index', 'save', 'Command1', 'iname', 'descp', 'sp1', 'sp2', 'Text1', 'Text2', 'Text3',
      'Command2', 'picItemImageHold', 'picItem', 'PALOFF', 'IMGOFF', 'Command3', 'Mys1', 'Mys2', 'Bu', 'FUCP', 'BUCP',
      'Picture1', 'cboattack'].forEach((id, place) => { $(id).tabIndex = place + 1; });
  }

  function fitToWindow() {
    const form = $('Form1');
    const scale = Math.max(1, Math.floor(Math.min(innerWidth / form.offsetWidth, innerHeight / form.offsetHeight) * 4) / 4);
    document.documentElement.style.setProperty('--scale', String(scale));
    form.style.left = `${Math.max(0, (innerWidth - form.offsetWidth * scale) / 2)}px`;
  }

  createQuillbox().then((module) => {
    core = module;
    FS = module.FS;
    texts = core.texts();
    const where = core.filesOf('');
    for (const path of [where.rom, where.compare, where.userProfile]) FS.mkdirTree(path.replace(/\/[^/]*$/, ''));
    fillList($('sp1'), core.specialValues());
    fillList($('sp2'), core.specialValues());
    fillList($('pock'), texts.startupPockets);
    $('Label10').textContent = texts.authorship;
    wire();
    setTabOrder();
    fitToWindow();
    refreshEditMenu();
    setStatus();
    timings.ready = performance.now();
    document.body.dataset.ready = 'true';
  });
})();
