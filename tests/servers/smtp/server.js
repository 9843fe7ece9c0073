// SMTP server for the integration tests, on 127.0.0.1 (or another loopback address): AUTH
// PLAIN, LOGIN and CRAM-MD5 for the users given, authentication optional (HELO clients
// may send), in plain text, with STARTTLS, or in TLS from the start.
//
//   node server.js STORE_DIR USERS_JSON [OPTIONS_JSON]
//
// OPTIONS_JSON: {"tls": "none" | "starttls" | "implicit", "key": PATH, "cert": PATH,
// "host": "127.0.0.1", "port": 0}. Prints "LISTENING <port>" once it accepts connections.
// Each accepted message is stored as STORE_DIR/<n>.eml (the data as received, dots
// unstuffed) with <n>.json beside it (envelope sender and recipients, authenticated user
// and method, whether the session was in TLS when it authenticated and when it sent). A
// recipient whose address contains "refused" is refused with 550. Ends on SIGTERM or when
// stdin closes.
'use strict';

const fs = require('fs');
const path = require('path');
const { SMTPServer } = require('smtp-server');

const storeDir = process.argv[2];
const users = JSON.parse(process.argv[3] || '{}');
const options = JSON.parse(process.argv[4] || '{}');
const tls = options.tls || 'none';
let stored = 0;

const server = new SMTPServer({
    secure: tls === 'implicit',
    disabledCommands: tls === 'none' ? ['STARTTLS'] : [],
    key: options.key ? fs.readFileSync(options.key) : undefined,
    cert: options.cert ? fs.readFileSync(options.cert) : undefined,
    allowInsecureAuth: true,
    authOptional: true,
    authMethods: ['PLAIN', 'LOGIN', 'CRAM-MD5'],
    logger: false,
    onAuth(auth, session, callback) {
        const expected = users[auth.username];
        const ok =
            expected !== undefined &&
            (auth.method === 'CRAM-MD5' ? auth.validatePassword(expected) : auth.password === expected);
        if (!ok) {
            return callback(new Error('Invalid username or password'));
        }
        session.authMethod = auth.method;
        session.authSecure = session.secure;
        return callback(null, { user: auth.username });
    },
    onRcptTo(address, session, callback) {
        if (address.address.includes('refused')) {
            const error = new Error('No such user here');
            error.responseCode = 550;
            return callback(error);
        }
        return callback();
    },
    onData(stream, session, callback) {
        const chunks = [];
        stream.on('data', chunk => chunks.push(chunk));
        stream.on('end', () => {
            stored += 1;
            const base = path.join(storeDir, String(stored));
            fs.writeFileSync(base + '.eml', Buffer.concat(chunks));
            fs.writeFileSync(
                base + '.json',
                JSON.stringify({
                    from: session.envelope.mailFrom && session.envelope.mailFrom.address,
                    to: session.envelope.rcptTo.map(r => r.address),
                    user: session.user || null,
                    method: session.authMethod || null,
                    authInTls: session.authSecure === undefined ? null : session.authSecure,
                    tls: session.secure,
                })
            );
            callback(null, 'Stored as ' + stored);
        });
    },
});

server.on('error', error => {
    console.error('smtp server error: ' + error.message);
});
server.listen(options.port || 0, options.host || '127.0.0.1', () => {
    process.stdout.write('LISTENING ' + server.server.address().port + '\n');
});

const stop = () => server.close(() => process.exit(0));
process.on('SIGTERM', stop);
process.stdin.on('end', stop);
process.stdin.resume();
