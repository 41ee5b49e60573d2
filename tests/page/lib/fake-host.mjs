// A stand-in for the Stream Deck host as the settings page sees it: an http server
// for the plugin folder and a WebSocket endpoint on 127.0.0.1, both on port 0.
//
// Any host used by the page tests offers the same shape, so a simulator that runs
// the real plugin can replace this one:
//   baseUrl            http URL whose <PLUGIN_FOLDER>/pi/index.html is the page
//   port               WebSocket port handed to connectElgatoStreamDeckSocket
//   nextMessage(ms)    the next JSON message any page sent, or a rejection at the deadline
//   expectQuiet(ms)    rejects if a message arrives within ms
//   sendToPages(msg)   delivers a host event to every connected page
//   close()
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { WebSocketServer } from 'ws';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.png': 'image/png',
};

function serveStatic(root) {
  const base = path.resolve(root);
  return (req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    const file = path.resolve(base, '.' + decodeURIComponent(url.pathname));
    if (!file.startsWith(base + path.sep)) { res.writeHead(403).end(); return; }
    fs.readFile(file, (err, body) => {
      if (err) { res.writeHead(404).end(); return; }
      res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream' });
      res.end(body);
    });
  };
}

function listen(server) {
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolve(server.address().port));
  });
}

// The http half alone, for a host that brings its own WebSocket endpoint.
export async function serveFolder(root) {
  const web = http.createServer(serveStatic(root));
  const port = await listen(web);
  return {
    baseUrl: `http://127.0.0.1:${port}/`,
    close: () => new Promise((r) => { web.closeAllConnections(); web.close(r); }),
  };
}

export async function startFakeHost({ root }) {
  const web = http.createServer(serveStatic(root));
  const httpPort = await listen(web);

  const socketServer = http.createServer();
  const wss = new WebSocketServer({ server: socketServer });
  const port = await listen(socketServer);

  const inbox = [];
  let waiter = null;
  const deliver = (msg) => {
    if (waiter) { const w = waiter; waiter = null; w(msg); } else inbox.push(msg);
  };
  wss.on('connection', (ws) => {
    ws.on('message', (data) => {
      let msg;
      try { msg = JSON.parse(String(data)); } catch (e) { msg = { unparsable: String(data) }; }
      deliver(msg);
    });
  });

  function nextMessage(ms = 5000) {
    if (inbox.length) return Promise.resolve(inbox.shift());
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => { waiter = null; reject(new Error(`no message within ${ms} ms`)); }, ms);
      waiter = (msg) => { clearTimeout(timer); resolve(msg); };
    });
  }

  async function expectQuiet(ms = 300) {
    let msg;
    try { msg = await nextMessage(ms); } catch (e) { return; }
    throw new Error('unexpected message: ' + JSON.stringify(msg));
  }

  async function close() {
    for (const client of wss.clients) client.terminate();
    await new Promise((r) => wss.close(r));
    await Promise.all([socketServer, web].map((s) => new Promise((r) => { s.closeAllConnections(); s.close(r); })));
  }

  function sendToPages(msg) {
    for (const client of wss.clients) client.send(JSON.stringify(msg));
  }

  return {
    baseUrl: `http://127.0.0.1:${httpPort}/`,
    port,
    nextMessage,
    expectQuiet,
    sendToPages,
    drain: () => inbox.splice(0),
    close,
  };
}
