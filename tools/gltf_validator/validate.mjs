// Validates one .glb with the Khronos glTF Validator and prints its counts
// and messages as one JSON object:
//   node validate.mjs FILE.glb
// Exit status 0 when the file could be read and validated (whatever it
// found), 2 when it could not.
import { readFile } from "node:fs/promises";
import validator from "gltf-validator";

const path = process.argv[2];
if (!path) {
  console.error("usage: node validate.mjs FILE.glb");
  process.exit(2);
}
try {
  const bytes = new Uint8Array(await readFile(path));
  const report = await validator.validateBytes(bytes, {
    maxIssues: 0,
    // Everything a .glb of ours uses is inside it.
    externalResourceFunction: (uri) => Promise.reject(new Error(`external resource ${uri}`)),
  });
  const issues = report.issues;
  console.log(JSON.stringify({
    errors: issues.numErrors,
    warnings: issues.numWarnings,
    infos: issues.numInfos,
    hints: issues.numHints,
    messages: issues.messages.map((m) => `${m.severity} ${m.code} ${m.pointer ?? ""}: ${m.message}`),
  }));
} catch (error) {
  console.error(`validate.mjs: ${error.message ?? error}`);
  process.exit(2);
}
