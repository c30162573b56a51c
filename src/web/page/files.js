'use strict';
// Files as a browser allows: in through a picker or a drop, out by writing back in place where
// the browser lets a page (the File System Access API) or else as a download; and the history
// and the found tables of each ROM kept in the browser's own storage (IndexedDB).
const QuillboxFiles = (() => {
  const database = 'quillbox';
  const store = 'files';
  let opened = null;

  function openDatabase() {
    if (!opened) {
      opened = new Promise((resolve, reject) => {
        if (!self.indexedDB) { reject(new Error('no IndexedDB')); return; }
        const request = indexedDB.open(database, 1);
        request.onupgradeneeded = () => request.result.createObjectStore(store);
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
    }
    return opened;
  }

  async function transact(mode, work) {
    const db = await openDatabase();
    return new Promise((resolve, reject) => {
      const transaction = db.transaction(store, mode);
      const request = work(transaction.objectStore(store));
      transaction.oncomplete = () => resolve(request && request.result);
      transaction.onerror = () => reject(transaction.error);
      transaction.onabort = () => reject(transaction.error);
    });
  }

  // A ROM is known to the page by its file name and size: what every browser tells of a file.
  // The core checks a history against the ROM's own bytes before it undoes anything, so one
  // kept for another file of the same name and size is refused, never applied.
  const keyOf = (rom, kind) => `${rom.name}\u0000${rom.size}\u0000${kind}`;

  const storage = {
    async get(rom, kind) {
      try { return await transact('readonly', (s) => s.get(keyOf(rom, kind))) || null; } catch { return null; }
    },
    async put(rom, kind, bytes) {
      try {
        await transact('readwrite', (s) => (bytes ? s.put(bytes, keyOf(rom, kind)) : s.delete(keyOf(rom, kind))));
        return true;
      } catch { return false; }
    },
  };

  function download(name, bytes, type = 'application/octet-stream') {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    link.style.display = 'none';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // Files chosen with an <input type=file>: an empty list when the user cancelled.
  function chooseWithInput(input) {
    return new Promise((resolve) => {
      const done = () => {
        input.removeEventListener('change', done);
        input.removeEventListener('cancel', done);
        const files = Array.from(input.files || []).map((file) => ({ file, handle: null }));
        input.value = '';
        resolve(files);
      };
      input.addEventListener('change', done);
      input.addEventListener('cancel', done);
      input.click();
    });
  }

  // The ROM and whatever was chosen with it (its history, its tables). Where the browser has the
  // File System Access API the files come with handles, so that a save can write back in place.
  async function chooseRomFiles(input) {
    if (typeof self.showOpenFilePicker === 'function') {
      let handles;
      try {
        handles = await self.showOpenFilePicker({ multiple: true, id: 'quillbox-roms' });
      } catch (error) {
        if (error && error.name === 'AbortError') return [];
        throw error;
      }
      return Promise.all(handles.map(async (handle) => ({ file: await handle.getFile(), handle })));
    }
    return chooseWithInput(input);
  }

  async function droppedFiles(transfer) {
    const items = Array.from(transfer.items || []).filter((item) => item.kind === 'file');
    if (items.length && typeof items[0].getAsFileSystemHandle === 'function') {
      const handles = await Promise.all(items.map((item) => item.getAsFileSystemHandle()));
      const found = await Promise.all(handles.filter((h) => h && h.kind === 'file')
        .map(async (handle) => ({ file: await handle.getFile(), handle })));
      if (found.length) return found;
    }
    return Array.from(transfer.files || []).map((file) => ({ file, handle: null }));
  }

  // Writes the bytes back into the file the handle names, after the user's permission. The
  // browser writes into a copy and puts it in place on close, so a failed write leaves the file
  // as it was. Gives null when written, else why not.
  async function writeBack(handle, bytes) {
    try {
      let permission = 'prompt';
      if (typeof handle.queryPermission === 'function') permission = await handle.queryPermission({ mode: 'readwrite' });
      if (permission !== 'granted' && typeof handle.requestPermission === 'function') {
        permission = await handle.requestPermission({ mode: 'readwrite' });
      }
      if (permission !== 'granted') return 'the browser was not allowed to write to it';
      const writable = await handle.createWritable();
      try {
        await writable.write(bytes);
        await writable.close();
      } catch (error) {
        try { await writable.abort(); } catch { /* the copy is dropped either way */ }
        throw error;
      }
      return null;
    } catch (error) {
      return (error && error.message) || String(error);
    }
  }

  return { storage, download, chooseWithInput, chooseRomFiles, droppedFiles, writeBack };
})();
