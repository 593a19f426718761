// Validates every .glb in a folder with the Khronos glTF Validator: the
// files the Windows build's suites write under Wine, checked on the build
// machine after them.
//   node validate_folder.mjs FOLDER
// Prints one line a file with its counts, and the messages of a file with
// errors or warnings. Exit status 0 when every file is clean, 1 when one is
// not, 2 when the folder holds no .glb or a file cannot be read.
import { readdir, readFile } from "node:fs/promises";
import path from "node:path";
import validator from "gltf-validator";

const folder = process.argv[2];
if (!folder) {
  console.error("usage: node validate_folder.mjs FOLDER");
  process.exit(2);
}
try {
  const names = (await readdir(folder)).filter((name) => name.endsWith(".glb")).sort();
  if (names.length === 0) {
    console.error(`validate_folder.mjs: no .glb in ${folder}`);
    process.exit(2);
  }
  let clean = true;
  for (const name of names) {
    const bytes = new Uint8Array(await readFile(path.join(folder, name)));
    const report = await validator.validateBytes(bytes, {
      maxIssues: 0,
      externalResourceFunction: (uri) => Promise.reject(new Error(`external resource ${uri}`)),
    });
    const issues = report.issues;
    console.log(`${name}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    if (issues.numErrors > 0 || issues.numWarnings > 0) {
      clean = false;
      for (const m of issues.messages) console.log(`  ${m.severity} ${m.code} ${m.pointer ?? ""}: ${m.message}`);
    }
  }
  process.exit(clean ? 0 : 1);
} catch (error) {
  console.error(`validate_folder.mjs: ${error.message ?? error}`);
  process.exit(2);
}
