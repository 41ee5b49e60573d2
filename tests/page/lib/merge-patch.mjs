// JSON merge patch (RFC 7396), as a Linux host merges manifest.linux.json
// over manifest.json: objects merge member by member, null removes a member,
// anything else (arrays included) replaces what was there.
export function mergePatch(target, patch) {
  if (!isObject(patch)) return patch;
  const result = isObject(target) ? { ...target } : {};
  for (const [key, value] of Object.entries(patch)) {
    if (value === null) delete result[key];
    else result[key] = mergePatch(result[key], value);
  }
  return result;
}

function isObject(v) {
  return v !== null && typeof v === 'object' && !Array.isArray(v);
}

// The program a Linux host of target `triple` starts from the merged
// manifest: the CodePaths entry of its triple, else CodePathLin; none
// without an OS entry for Linux.
export function linuxProgram(merged, triple) {
  if (!Array.isArray(merged.OS) || !merged.OS.some((e) => isObject(e) && e.Platform === 'linux')) return null;
  const byTriple = isObject(merged.CodePaths) ? merged.CodePaths[triple] : undefined;
  return byTriple ?? merged.CodePathLin ?? null;
}
