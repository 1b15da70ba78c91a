#!/usr/bin/env node
// Runs the SQL statements of a file (or of standard input) with DuckDB for
// Node.js and prints each statement's result: a tab-separated table with a
// header line (an empty field for NULL), the tables parted by an empty line,
// or with --json one JSON array of row objects per statement and
// line. DuckDB comes from the npm package @duckdb/node-api, which ships its
// engine; tools/install-duckdb.sh installs it into DUCKDB_NODE_DIR (default
// build/duckdb of this checkout).
//
//   node tools/duckdb-sql.mjs [--json] [FILE.sql]
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const moduleDir = process.env.DUCKDB_NODE_DIR || join(here, '..', 'build', 'duckdb');

async function loadDuckDb() {
  try {
    const require = createRequire(join(resolve(moduleDir), 'package.json'));
    return await import(pathToFileURL(require.resolve('@duckdb/node-api')).href);
  } catch {
    process.stderr.write(`duckdb-sql: @duckdb/node-api is not in ${moduleDir}: run tools/install-duckdb.sh\n`);
    process.exit(2);
  }
}

function printTable(reader) {
  const lines = [reader.columnNames().join('\t')];
  for (const row of reader.getRowsJson()) lines.push(row.map((v) => (v === null ? '' : String(v))).join('\t'));
  process.stdout.write(lines.join('\n') + '\n');
}

const args = process.argv.slice(2);
const json = args[0] === '--json';
if (json) args.shift();
if (args.length > 1) {
  process.stderr.write('usage: node tools/duckdb-sql.mjs [--json] [FILE.sql]\n');
  process.exit(2);
}
const sql = readFileSync(args.length ? args[0] : 0, 'utf8');
const { DuckDBInstance } = await loadDuckDb();
const connection = await (await DuckDBInstance.create(':memory:')).connect();
try {
  const statements = await connection.extractStatements(sql);
  for (let i = 0; i < statements.count; ++i) {
    const reader = await (await statements.prepare(i)).runAndReadAll();
    if (json) process.stdout.write(JSON.stringify(reader.getRowObjectsJson()) + '\n');
    else {
      if (i > 0) process.stdout.write('\n');
      printTable(reader);
    }
  }
} catch (e) {
  process.stderr.write(`duckdb-sql: ${e.message}\n`);
  process.exit(1);
}
