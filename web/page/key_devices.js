// The page's device layer: the keys the user granted to the page, through
// WebHID. The core's transport (keylink/hid_transport_webhid.cpp) reaches
// the keys only through the functions of the object made here; the view
// learns of keys arriving and leaving through `onChange`.
//
// Each connection gets a number of its own for as long as it lasts: a key
// pulled out and plugged back in is a new HIDDevice, and a new number.
// Input reports are queued per connection from the moment it is opened.

const kMaxQueuedReports = 256;

// The report length of a direction, in bytes with the report-ID byte, as
// Windows counts it; 0 when the collections declare none, null when they
// number their reports (the key's frames start with report ID 0).
function reportLength(device, direction) {
  let bits = 0;
  const visit = (collection) => {
    for (const report of collection[direction] || []) {
      if (report.reportId !== 0) bits = null;
      if (bits === null) return;
      for (const item of report.items || []) bits += item.reportSize * item.reportCount;
    }
    for (const child of collection.children || []) visit(child);
  };
  for (const collection of device.collections || []) visit(collection);
  return bits === null ? null : bits === 0 ? 0 : Math.ceil(bits / 8) + 1;
}

export function createKeyDevices(hid, onChange) {
  const connections = new Map(); // number -> {device, queue, waiter}
  const numbers = new Map(); // HIDDevice -> number
  let nextNumber = 1;

  function take(device) {
    if (numbers.has(device)) return;
    const number = nextNumber++;
    numbers.set(device, number);
    connections.set(number, { device, queue: [], waiter: null, listening: false, sending: null, failed: false });
  }

  function drop(device) {
    const number = numbers.get(device);
    if (number === undefined) return;
    const connection = connections.get(number);
    numbers.delete(device);
    connections.delete(number);
    for (const report of connection.queue) report.fill(0);
    connection.queue.length = 0;
    if (connection.waiter) connection.waiter(null);
  }

  function onInputReport(connection, event) {
    if (event.reportId !== 0) return;
    const view = event.data;
    const report = new Uint8Array(view.buffer.slice(view.byteOffset, view.byteOffset + view.byteLength));
    if (connection.waiter) {
      connection.waiter(report);
      return;
    }
    connection.queue.push(report);
    if (connection.queue.length > kMaxQueuedReports) connection.queue.shift().fill(0);
  }

  hid.addEventListener('connect', (event) => {
    take(event.device);
    onChange();
  });
  hid.addEventListener('disconnect', (event) => {
    drop(event.device);
    onChange();
  });

  return {
    // The keys granted before: taken up when the page opens.
    async start() {
      for (const device of await hid.getDevices()) take(device);
    },

    // The browser's chooser, filtered to the key; true when a key was granted.
    async request(vendorId, productId) {
      const granted = await hid.requestDevice({ filters: [{ vendorId, productId }] });
      for (const device of granted) take(device);
      return granted.length > 0;
    },

    // For the core's transport.
    list(vendorId, productId) {
      const found = [];
      for (const [number, { device }] of connections)
        if (device.vendorId === vendorId && device.productId === productId) found.push(number);
      return found;
    },

    connected(number) {
      return connections.has(number);
    },

    reportLengths(number) {
      const connection = connections.get(number);
      if (!connection) return null;
      const input = reportLength(connection.device, 'inputReports');
      const output = reportLength(connection.device, 'outputReports');
      if (input === null || output === null) return null;
      return { input, output };
    },

    // 0 opened, 1 refused by the system, 2 gone.
    async open(number) {
      const connection = connections.get(number);
      if (!connection) return 2;
      for (const report of connection.queue) report.fill(0);
      connection.queue.length = 0;
      connection.failed = false;
      connection.sending = null;
      if (!connection.device.opened) {
        try {
          await connection.device.open();
        } catch (error) {
          return connections.has(number) ? 1 : 2;
        }
      }
      if (!connection.listening) {
        connection.device.addEventListener('inputreport', (event) => onInputReport(connection, event));
        connection.listening = true;
      }
      return 0;
    },

    async close(number) {
      const connection = connections.get(number);
      if (!connection || !connection.device.opened) return;
      try {
        await connection.device.close();
      } catch (error) {
        // A key pulled out meanwhile is closed already.
      }
    },

    // Hands one output report (without its ID byte) to the browser and
    // returns at once: false when the connection is not open. The reply is
    // waited for by `receive`, within the exchange's limit; a send that
    // fails makes that wait end at once without a report, and one still
    // not taken when the wait ends closes the connection, which ends it.
    send(number, data) {
      const connection = connections.get(number);
      if (!connection || !connection.device.opened || connection.failed) return false;
      const sending = connection.device.sendReport(0, data).then(
        () => {
          if (connection.sending === sending) connection.sending = null;
        },
        () => {
          connection.failed = true;
          if (connection.waiter) connection.waiter(null);
        },
      );
      connection.sending = sending;
      return true;
    },

    // The next input report of the connection within the limit; null when
    // none came or the connection went.
    receive(number, limitMs) {
      const connection = connections.get(number);
      if (!connection) return Promise.resolve(null);
      if (connection.queue.length) return Promise.resolve(connection.queue.shift());
      if (connection.failed) return Promise.resolve(null);
      return new Promise((resolve) => {
        const timer = setTimeout(async () => {
          connection.waiter = null;
          if (connection.sending) await this.close(number);
          resolve(null);
        }, limitMs);
        connection.waiter = (report) => {
          clearTimeout(timer);
          connection.waiter = null;
          resolve(report);
        };
      });
    },
  };
}
