#!/usr/bin/env node
// Validates glTF 2.0 files (.glb or .gltf with its resources) with the Khronos glTF validator
// that scripts/install-deps installs into .deps/node. Prints one summary line per file and every
// error and warning; exits 0 when no file has an error or a warning, 1 otherwise, 3 when the
// validator is not installed.
import { createRequire } from 'node:module';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
let validator;
try {
  validator = createRequire(path.join(root, '.deps/node/package.json'))('gltf-validator');
} catch {
  console.error('gltf-validate: the gltf-validator package is not installed (run scripts/install-deps)');
  process.exit(3);
}

let failed = false;
for (const file of process.argv.slice(2)) {
  const data = new Uint8Array(await readFile(file));
  const report = await validator.validateBytes(data, {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      readFile(path.join(path.dirname(file), decodeURIComponent(uri))).then((b) => new Uint8Array(b)),
  });
  const { numErrors, numWarnings, numInfos } = report.issues;
  console.log(`${file}: errors ${numErrors} warnings ${numWarnings} infos ${numInfos}`);
  for (const m of report.issues.messages) {
    if (m.severity <= 2) console.log(`  ${['error', 'warning', 'info'][m.severity]} ${m.code} ${m.pointer ?? ''}: ${m.message}`);
  }
  if (numErrors > 0 || numWarnings > 0) failed = true;
}
process.exit(failed ? 1 : 0);
