'use strict';
// The window in the page: moves values between the controls and the core's calls, asks the
// core's questions and shows its messages. Every rule is the core's; this script only wires.
(() => {
  // A show reaches some hundred controls by id: each is looked up once while it stays in the page.
  const elements = new Map();
  // The page's elements are made once and never replaced, so each is looked up once.
  const $ = (id) => {
    let found = elements.get(id);
    if (!found) {
      found = document.getElementById(id);
      if (found) elements.set(id, found);
    }
    return found;
  };
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
    'Mys1', 'Mys2', 'Bu', 'FUCP', 'BUCP', 'itemType', 'secondaryId', 'fieldUseLike', 'battleUseLike'];
  const imageControls = ['IMGOFF', 'PALOFF', 'Command3'];
  const romMenus = ['mnuFileSave', 'mnuFileDownload', 'mnuFileDownloadHistory', 'mnuExportJson', 'mnuExportCsv',
    'mnuImportItems', 'mnuCompare', 'mnuFindTables', 'mnuEditAddItem'];
  const textBoxes = ['iname', 'price', 'index', 'Text3', 'IMGOFF', 'PALOFF', 'FUCP', 'BUCP'];
  // The controls a save reads, as the core's form names them ({id, kind, label, panel}); the
  // meaning each list's entries stand for now; the effect's fields ({key, label, kind, minimum,
  // maximum}).
  let layout = [];
  const listMeaning = {};
  const keptEntries = new Map();
  let effectFields = [];
  const useLikeButtons = { FUCP: 'fieldUseLike', BUCP: 'battleUseLike' };

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
  // Writing a control's text, title or state as it already is still costs the browser the work of
  // a change; a show writes only what differs from what is there.
  const put = (element, property, value) => { if (element[property] !== value) element[property] = value; };
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

  // Each list's numbers for its entries, as the core gives them: kept beside the list rather than
  // on its thousands of options, which made opening a ROM slower.
  const listNumbers = new Map();

  // A list's entries, each with the number the core says it shows where the list is too narrow.
  function fillList(select, entries, numbers = []) {
    unlistedOptions.delete(select);
    listNumbers.set(select, numbers);
    select.replaceChildren(...entries.map((entry) => new Option(entry)));
    select.selectedIndex = -1;
    showClosedText(select);
  }

  // Chromium keeps 4 pixels before a closed list's text and the arrow's room after it, of which
  // the arrow itself draws in the last 12.
  const listTextStart = 4;
  const listArrowRoom = 16;
  const listArrowWidth = 12;
  const measure = document.createElement('canvas').getContext('2d');
  // The same few entries are measured at every show: each width is measured once.
  const widths = new Map();
  const textWidth = (text, font) => {
    const key = `${font}\n${text}`;
    let width = widths.get(key);
    if (width === undefined) {
      if (measure.font !== font) measure.font = font;
      width = measure.measureText(text).width;
      widths.set(key, width);
    }
    return width;
  };
  // A list's place, size and font, read once: reading them at every show would lay the page out
  // again each time.
  const listGeometry = new Map();
  function geometryOf(select) {
    let geometry = listGeometry.get(select);
    if (!geometry) {
      geometry = { left: select.offsetLeft + select.clientLeft, top: select.offsetTop + select.clientTop,
        width: select.clientWidth, height: select.clientHeight, font: getComputedStyle(select).font };
      listGeometry.set(select, geometry);
    }
    return geometry;
  }

  // A closed list too narrow for its entry shows the entry's number alone, as the window's lists
  // do, drawn over the list's own text; a number too wide for the room beside the arrow takes the
  // arrow's room as well. The entries in the open list stay whole.
  // What each list's closed text was last drawn for: most lists show the same entry from item to
  // item, and drawing it again would measure and restyle it for nothing.
  const closedDrawn = new Map();
  function showClosedText(select) {
    const index = select.selectedIndex;
    const option = select.options[index];
    const numbers = listNumbers.get(select) || [];
    const text = option ? option.text : '';
    const drawn = closedDrawn.get(select);
    if (drawn && drawn.index === index && drawn.text === text && drawn.numbers === numbers) return;
    closedDrawn.set(select, { index, text, numbers });
    const number = option && (unlistedOptions.get(select) === option ? option.text : numbers[index]);
    let label = $(`${select.id}Closed`);
    if (!number && !label) return;
    const geometry = geometryOf(select);
    const room = geometry.width - listTextStart - listArrowRoom;
    if (!number || textWidth(option.text, geometry.font) <= room) {
      if (label) put(label, 'hidden', true);
      return;
    }
    if (!label) {
      label = element('span', { id: `${select.id}Closed`, className: 'closed-text' });
      label.setAttribute('aria-hidden', 'true');
      Object.assign(label.style, {
        left: `${geometry.left}px`, top: `${geometry.top}px`, height: `${geometry.height}px`,
        lineHeight: `${geometry.height}px`, paddingLeft: `${listTextStart}px`,
      });
      select.after(label);
    }
    const besideArrow = textWidth(number, geometry.font) <= room;
    put(label.style, 'width', `${geometry.width - (besideArrow ? listArrowWidth : 0)}px`);
    put(label, 'textContent', number);
    put(label, 'hidden', false);
  }

  // Each list's last option, while it holds a value the list has no entry for; the next such
  // value takes the same option.
  const unlistedOptions = new Map();
  function dropUnlisted(select) {
    const option = unlistedOptions.get(select);
    if (option) option.remove();
    unlistedOptions.delete(select);
  }

  // Selects the entry of a stored value; a value with no entry shows as its number with no entry
  // chosen, and a save then leaves it as stored.
  function showListValue(select, position, unlisted) {
    let option = unlistedOptions.get(select);
    if (position >= 0 && position < select.options.length - (option ? 1 : 0)) {
      if (option) dropUnlisted(select);
      if (select.selectedIndex !== position) select.selectedIndex = position;
      showClosedText(select);
      return;
    }
    if (option) {
      put(option, 'text', unlisted);
    } else {
      option = new Option(unlisted);
      option.hidden = true;
      select.append(option);
      unlistedOptions.set(select, option);
    }
    if (select.selectedIndex !== option.index) select.selectedIndex = option.index;
    showClosedText(select);
  }

  function listValue(select) {
    const option = select.options[select.selectedIndex];
    return option && unlistedOptions.get(select) !== option ? select.selectedIndex : null;
  }

  // Text the program puts in a box: never cut, and the measure for the next edit's limit.
  // Each box's length in characters as the program last left it, for the next edit's limit.
  const lengthBefore = new Map();
  function setText(id, text) {
    const box = $(id);
    put(box, 'value', text);
    // A box keeps what it is given but line breaks, which only a description holds.
    lengthBefore.set(box, chars(/[\r\n]/.test(text) ? box.value : text));
  }

  function keepFieldRule(box) {
    const value = box.value;
    const cursor = chars(value.slice(0, box.selectionStart ?? value.length));
    const kept = core.keepField(box.id, lengthBefore.get(box) || 0, value, cursor);
    if (kept.text !== value) {
      box.value = kept.text;
      const at = Array.from(kept.text).slice(0, kept.cursor).join('').length;
      box.setSelectionRange(at, at);
    }
    lengthBefore.set(box, chars(box.value));
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
    put($('descp'), 'value', description);
    page.room = room;
    setText('Text2', String(room));
    setText('Text1', String(count));
  }

  function paintIcon(rgba) {
    const pixels = new ImageData(24, 24);
    pixels.data.set(rgba);
    $('picItem').getContext('2d').putImageData(pixels, 0, 0);
  }

  function fillItemList(names) {
    const list = $('cboitem');
    list.replaceChildren(...names.map((name) => new Option(name)));
  }

  // A list shows the entries of the meaning its byte has for the shown item; the entry chosen stays.
  // The entries of each meaning are asked once per ROM and kept, and a list changing meaning
  // rewrites only the entries that differ: byte 40 and the type change their meaning from item to
  // item, and making their 256 entries anew at each show took longer than the rest of it.
  function useEntries(id, meaning) {
    if (listMeaning[id] === meaning) return;
    const select = $(id);
    const chosen = select.options[select.selectedIndex];
    const position = listValue(select);
    const kept = `${id} ${meaning}`;
    if (!keptEntries.has(kept)) keptEntries.set(kept, core.listEntries(id, meaning));
    const list = keptEntries.get(kept);
    dropUnlisted(select);
    const options = select.options;
    if (options.length !== list.entries.length) {
      fillList(select, list.entries, list.numbers);
    } else {
      list.entries.forEach((entry, at) => {
        const option = options[at];
        if (option.text !== entry) option.text = entry;
      });
      listNumbers.set(select, list.numbers || []);
      select.selectedIndex = -1;
      showClosedText(select);
    }
    listMeaning[id] = meaning;
    if (chosen) showListValue(select, position ?? -1, chosen.text);
  }

  // What a value means, beside the control in the panel, with the field's help as its tooltip.
  // Only this writes the panel's words and labels, so what they show is known without asking them.
  const shownWords = new Map();
  function showWords(control, value) {
    if (control.label) put($(control.id), 'title', value.help);
    if (!control.panel) return;
    const last = shownWords.get(control.id);
    if (last && last.words === value.words && last.help === value.help && last.label === value.label) return;
    shownWords.set(control.id, value);
    const words = $(`${control.id}Words`);
    put(words, 'textContent', value.words);
    put(words, 'title', value.help);
    const label = $(`${control.id}Label`);
    if (value.label) put(label, 'textContent', value.label);
    put(label, 'title', value.help);
  }

  function showForm(form) {
    for (const control of layout) {
      const value = form[control.id];
      if (control.kind === 'list') {
        useEntries(control.id, value.meaning);
        showListValue($(control.id), value.listPosition, value.text);
      } else if (control.id !== 'descp') {
        setText(control.id, value.text);
      }
      showWords(control, value);
    }
  }

  // The controls as the user left them: texts and list positions (-1 for none) by id.
  function formValues() {
    const values = { texts: {}, lists: {} };
    for (const control of layout) {
      const element = $(control.id);
      if (control.kind === 'list') values.lists[control.id] = listValue(element) ?? -1;
      else values.texts[control.id] = element.value;
    }
    return values;
  }

  // Another entry picked or pointer typed: the words say what the controls now hold, before a save.
  async function refreshWords() {
    if (page.shownItem < 0) return;
    const result = core.formWords(formValues());
    if (result.form === undefined) { await showResult(result); return; }
    for (const control of layout) {
      if (control.kind === 'list') useEntries(control.id, result.form[control.id].meaning);
      showWords(control, result.form[control.id]);
    }
  }

  // The effect the panel shows while it is one nobody can change: most items have none, and
  // showing the same again would only write every field as it stands.
  let shownLockedEffect = null;

  function showEffect(effect) {
    if (!effect.available && shownLockedEffect === effect.words) return;
    shownLockedEffect = effect.available ? null : effect.words;
    let words = effect.words;
    if (!effect.available) {
      // The core's reasons are clauses; standing alone they start as a sentence does.
      words = words.charAt(0).toUpperCase() + words.slice(1);
    } else if (effect.sharedWith.length) {
      const names = effect.sharedWith;
      words += `\nShared with ${names.length} item${names.length === 1 ? '' : 's'}: ${names.join(', ')}`;
    }
    put($('effectWords'), 'textContent', words);
    for (const field of effectFields) {
      const box = $(`effect_${field.key}`);
      const text = effect.available ? effect.values[field.key] : '';
      if (field.kind === 'flag') {
        put(box, 'checked', text === '1');
      } else if (field.kind === 'stages') {
        put(box, 'value', text);
      } else {
        put($(`effect_${field.key}On`), 'checked', effect.available && text !== 'off');
        put(box, 'value', text === 'off' ? '' : text);
      }
    }
    enableEffect(effect.available);
    put($('effectSave'), 'title', effect.available ? '' : words);
  }

  function enableEffect(on) {
    for (const field of effectFields) {
      const box = $(`effect_${field.key}`);
      if (field.kind === 'amount') {
        put($(`effect_${field.key}On`), 'disabled', !on);
        put(box, 'disabled', !on || !$(`effect_${field.key}On`).checked);
      } else {
        put(box, 'disabled', !on);
      }
    }
    put($('effectSave'), 'disabled', !on);
  }

  // The effect's fields as SetEffectField takes them. A ticked amount left empty is sent as "on",
  // which the core refuses naming the amounts the field takes.
  function effectValues() {
    const values = {};
    for (const field of effectFields) {
      const box = $(`effect_${field.key}`);
      if (field.kind === 'flag') values[field.key] = box.checked ? '1' : '0';
      else if (field.kind === 'stages') values[field.key] = box.value;
      else values[field.key] = !$(`effect_${field.key}On`).checked ? 'off' : box.value || 'on';
    }
    return values;
  }

  async function showItem(position) {
    const started = performance.now();
    const result = core.showItem(position);
    timings.showCore = performance.now() - started;
    if (!result.shown) {
      // The controls still hold the item shown before: the selection goes back to it.
      $('cboitem').selectedIndex = result.position;
      return showMessage(result.message);
    }
    await showShown(result);
    timings.show = performance.now() - started;
    return undefined;
  }

  // The item a step of the core shows, in every control, with the step's message after it.
  async function showShown(step) {
    const item = step.shown;
    const position = item.position;
    put($('cboitem'), 'selectedIndex', position);
    page.shownItem = position;
    if (item.imageOffset !== undefined) {
      setText('IMGOFF', item.imageOffset);
      setText('PALOFF', item.paletteOffset);
      if (item.icon) paintIcon(item.icon);
    }
    showForm(item.form);
    setText('Text3', item.descriptionOffset);
    showDescription(item.form.descp.text, item.room, item.count);
    const attack = $('cboattack');
    put(attack, 'disabled', !item.hasTmMove);
    // An unknown TM/HM list shows no move rather than a number read from some other table.
    if (item.tmMoveUnknown) showListValue(attack, -1, texts.tmMoveUnavailable);
    put(attack, 'title', item.tmMoveUnknown ? texts.tmMovesUnknownTip : '');
    showEffect(item.effect);
    // Who drives the page (a test, a script) sees which item the controls now hold.
    $('cboitem').dataset.shown = String(position);
    await showResult(step);
  }

  function select(position) {
    $('cboitem').selectedIndex = position;
    return showItem(position);
  }

  // The core wrote to the ROM and shows the item again: the list as it now stands, then the item.
  async function showWritten(step) {
    if (step.items) fillItemList(step.items);
    if (step.shown) await showShown(step);
    else await showResult(step);
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
    enableEffect(false);
    shownLockedEffect = null;
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
    // The file's own bytes become the ROM the core reads: nothing else holds them, and a copy of
    // 16 MiB took longer than the core's whole opening.
    FS.writeFile(paths.rom, new Uint8Array(await entry.file.arrayBuffer()), { canOwn: true });
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
    if (opened.question) {
      const answer = await ask(opened.question.text, { name: opened.question.id });
      opened = core.answerFoundTables(answer === 'yes');
    }
    if (!opened.opened) {
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
    keptEntries.clear();
    for (const [id, list] of Object.entries(opened.lists)) {
      fillList($(id), list.entries, list.numbers);
      listMeaning[id] = list.meaning;
    }
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

  // A save asks the core's questions one by one; the session holds the edit until the last answer.
  async function saveClick() {
    if (page.shownItem < 0 || !page.rom) return;
    const started = performance.now();
    let step = core.saveItem(formValues());
    while (step.question) {
      const question = step.question;
      step = core.answerSave(await ask(question.text,
        { name: question.id, no: question.offersNo, cancel: question.offersCancel }));
    }
    if (!step.written) { await showResult(step); return; }
    timings.save = performance.now() - started;
    await afterWrite({ save: true });
    await showWritten(step);
  }

  // Which item the shown one is to be used like: its position, or null when cancelled.
  async function chooseModel() {
    const list = $('useLikeItem');
    const question = core.useLikeQuestion();
    list.replaceChildren(...question.choices.map((choice) => new Option(choice)));
    list.selectedIndex = page.shownItem;
    const answer = await modal($('useLikeBox'), () => {
      $('useLikeTitle').textContent = texts.title;
      $('useLikeText').textContent = question.text;
      list.focus();
    });
    return answer === 'ok' && list.selectedIndex >= 0 ? list.selectedIndex : null;
  }

  async function useLikeClick() {
    if (page.shownItem < 0 || !page.rom) return;
    const model = await chooseModel();
    if (model === null) return;
    const result = core.useLike(model);
    if (!result.written) { await showResult(result); return; }
    await afterWrite();
    await showWritten(result);
  }

  // "Add Item…": which item to copy and the new item's name; the new item is then shown.
  async function addItemClick() {
    if (!page.rom) return;
    const question = core.addItemQuestion();
    const list = $('cboAddItemLike');
    list.replaceChildren(...question.choices.map((choice) => new Option(choice)));
    list.selectedIndex = Math.max(page.shownItem, 0);
    $('txtAddItemName').value = '';
    const answer = await modal($('addItemBox'), () => {
      $('addItemTitle').textContent = question.title;
      $('addItemText').textContent = question.text;
      $('addItemNameLabel').textContent = question.nameLabel;
      list.focus();
    });
    if (answer !== 'ok' || list.selectedIndex < 0) return;
    const result = core.addItem(list.selectedIndex, $('txtAddItemName').value);
    if (!result.written) { await showResult(result); return; }
    await afterWrite();
    await showWritten(result);
  }

  // Only the effect is shown again: edits not yet saved in the other controls stay.
  async function saveEffectClick() {
    if (page.shownItem < 0 || !page.rom) return;
    const result = core.saveEffect(effectValues());
    if (!result.written) { await showResult(result); return; }
    await afterWrite({ save: true });
    await showResult(result);
    if (result.shown) showEffect(result.shown.effect);
  }

  async function repointDescription() {
    const result = core.repointDescription($('Text3').value);
    if (!result.description) { await showResult(result); return; }
    await afterWrite();
    showDescription(result.description.text, result.description.room, result.description.count);
    await showResult(result);
    notice($('Command2'), result.notice);
  }

  async function repointImage() {
    const result = core.repointImage($('IMGOFF').value, $('PALOFF').value);
    if (!result.written) { await showResult(result); return; }
    await afterWrite();
    if (result.icon) paintIcon(result.icon);
    await showResult(result);
    notice($('Command3'), result.notice);
  }

  async function stepHistory(undo) {
    if (!page.rom) return;
    const result = undo ? core.undo() : core.redo();
    refreshEditMenu();
    if (!result.written) { await showResult(result); return; }
    await afterWrite();
    await showWritten(result);
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
    if (!result.written) { await showResult(result); return; }
    await afterWrite();
    // Only the icon is shown again: edits not yet saved in the other controls stay.
    if (result.imageOffset !== undefined) {
      setText('IMGOFF', result.imageOffset);
      setText('PALOFF', result.paletteOffset);
    }
    if (result.icon) paintIcon(result.icon);
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
    if (result.message) { await showResult(result); return; }
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
    if (plan.message) { await showResult(plan); return; }
    if (plan.changes === 0) { await showMessage({ title: texts.title, text: plan.summary }); return; }
    const answer = await ask(`${plan.text}${plan.summary}; nothing written yet.\n\nWrite these changes?`, { name: 'importQuestion' });
    if (answer !== 'yes') return;
    const result = core.applyImport();
    if (!result.written) { await showResult(result); return; }
    await afterWrite({ save: true });
    await showMessage({ title: texts.title, text: `${plan.summary} written` });
    await showWritten(result);
  }

  async function compareWith() {
    const file = await pickOne('compareFile');
    if (!file) return;
    const path = core.filesOf(file.name).compare;
    FS.writeFile(path, new Uint8Array(await file.arrayBuffer()), { canOwn: true });
    try {
      const result = core.diffWith(file.name);
      if (result.message) { await showResult(result); return; }
      await showMessage({ title: texts.title,
        text: result.changes === 0 ? `No item differs from ${file.name}.` : `Changes from ${page.rom.name} to ${file.name}:\n${result.text}` });
    } finally {
      FS.unlink(path);
    }
  }

  async function findTables() {
    const found = core.detectTables();
    if (!found.question) { await showResult(found); return; }
    const answer = await ask(found.question.text, { name: found.question.id });
    const kept = core.answerDetectedTables(answer === 'yes');
    if (kept.declined) return;
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
    click('fieldUseLike', useLikeClick);
    click('battleUseLike', useLikeClick);
    click('effectSave', saveEffectClick);
    click('mnuEditAddItem', addItemClick);
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
    // The words follow the entries as the user picks them and the routines as they are typed.
    for (const control of layout.filter((c) => c.panel)) {
      $(control.id).addEventListener(control.kind === 'list' ? 'change' : 'input', run(refreshWords));
    }
    document.addEventListener('change', (event) => {
      if (event.target.tagName === 'SELECT') showClosedText(event.target);
    });
    for (const field of effectFields.filter((f) => f.kind === 'amount')) {
      $(`effect_${field.key}On`).addEventListener('change', (event) => {
        $(`effect_${field.key}`).disabled = !event.target.checked;
      });
    }
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

  const element = (tag, properties = {}) => Object.assign(document.createElement(tag), properties);

  // A row for each control the panel says something about: its label, the control where it has
  // no place in the window's own layout (the type and secondary id) or the Use like button beside
  // a routine, and the words.
  function buildRecordPanel() {
    const rows = $('recordRows');
    for (const control of layout.filter((c) => c.panel)) {
      let own = $(control.id);
      if (!own) {
        own = control.kind === 'list' ? element('select', { id: control.id, disabled: true })
          : element('input', { id: control.id, disabled: true, autocomplete: 'off', spellcheck: false });
      } else if (useLikeButtons[control.id]) {
        own = element('button', { type: 'button', id: useLikeButtons[control.id], disabled: true, textContent: 'Use like\u2026',
          title: 'Gives this item the field and battle routines of another item, with the type and secondary id they read' });
      } else {
        own = element('span');
      }
      const label = own.id === control.id ? element('label', { htmlFor: control.id }) : element('span');
      Object.assign(label, { id: `${control.id}Label`, className: 'row-label', textContent: control.label });
      rows.append(label, own, element('span', { id: `${control.id}Words`, className: 'words' }));
    }
  }

  // One control for each field of the effect: a box for a flag, a number for stages, and for an
  // amount a box that switches it on with its number; the flags together, as the window has them.
  function buildEffectPanel() {
    for (const field of effectFields) {
      const number = () => element('input', { type: 'number', id: `effect_${field.key}`, min: String(field.minimum),
        max: String(field.maximum), disabled: true });
      const row = element('div', { className: `effect-field effect-${field.kind}`, title: field.label });
      if (field.kind === 'flag') {
        const box = element('label');
        box.append(element('input', { type: 'checkbox', id: `effect_${field.key}`, disabled: true }), ` ${field.label}`);
        row.append(box);
      } else if (field.kind === 'stages') {
        row.append(element('label', { htmlFor: `effect_${field.key}`, textContent: field.label }), number());
      } else {
        const box = element('label');
        box.append(element('input', { type: 'checkbox', id: `effect_${field.key}On`, disabled: true }), ` ${field.label}`);
        row.append(box, number());
      }
      $(field.kind === 'flag' ? 'effectFlags' : 'effectNumbers').append(row);
    }
  }

  function fitToWindow() {
    const form = $('Form1');
    const scale = Math.max(1, Math.floor(Math.min(innerWidth / form.offsetWidth, innerHeight / form.offsetHeight) * 4) / 4);
    document.documentElement.style.setProperty('--scale', String(scale));
    form.style.left = `${Math.max(0, (innerWidth - form.offsetWidth * scale) / 2)}px`;
  }

  // The core's WebAssembly, which the page carries as base64 beside the core's script.
  function coreBinary() {
    const holder = $('coreWasm');
    const text = holder.textContent;
    holder.remove();
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
    const bytes = atob(text);
    const binary = new Uint8Array(bytes.length);
    for (let i = 0; i < bytes.length; ++i) binary[i] = bytes.charCodeAt(i);
    return binary;
  }

  createQuillbox({ wasmBinary: coreBinary() }).then((module) => {
    core = module;
    FS = module.FS;
    texts = core.texts();
    layout = core.formLayout();
    effectFields = core.effectFields();
    buildRecordPanel();
    buildEffectPanel();
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
