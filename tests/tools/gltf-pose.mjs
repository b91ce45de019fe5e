#!/usr/bin/env node
// Poses a .gltf at a time of its first animation for renderers that draw only the rest pose:
// every animated node's translation, rotation and scale become the animation's value at that
// time (linear interpolation, rotations by spherical interpolation, as glTF defines them), and
// the animation is removed. The output is written beside the input and shares its buffer.
//   gltf-pose.mjs IN.gltf SECONDS OUT.gltf
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';

const [input, secondsText, output] = process.argv.slice(2);
const seconds = Number(secondsText);
const gltf = JSON.parse(readFileSync(input, 'utf8'));
const buffer = readFileSync(path.join(path.dirname(input), decodeURIComponent(gltf.buffers[0].uri)));
const width = { SCALAR: 1, VEC3: 3, VEC4: 4 };

function floats(index) {
  const a = gltf.accessors[index];
  const view = gltf.bufferViews[a.bufferView];
  const n = width[a.type];
  const start = (view.byteOffset ?? 0) + (a.byteOffset ?? 0);
  const out = [];
  for (let k = 0; k < a.count; ++k) {
    const v = [];
    for (let c = 0; c < n; ++c) v.push(buffer.readFloatLE(start + 4 * (n * k + c)));
    out.push(v);
  }
  return out;
}

function slerp(a, b, t) {
  let dot = a.reduce((s, x, i) => s + x * b[i], 0);
  if (dot < 0) { b = b.map((x) => -x); dot = -dot; }
  if (dot > 0.9995) {
    const q = a.map((x, i) => x + (b[i] - x) * t);
    const len = Math.hypot(...q);
    return q.map((x) => x / len);
  }
  const theta = Math.acos(dot);
  const s = Math.sin(theta);
  return a.map((x, i) => (Math.sin((1 - t) * theta) * x + Math.sin(t * theta) * b[i]) / s);
}

for (const animation of gltf.animations ?? []) {
  for (const channel of animation.channels) {
    const sampler = animation.samplers[channel.sampler];
    const times = floats(sampler.input).map((v) => v[0]);
    const values = floats(sampler.output);
    let value;
    if (seconds <= times[0]) value = values[0];
    else if (seconds >= times[times.length - 1]) value = values[values.length - 1];
    else {
      let k = 0;
      while (times[k + 1] < seconds) ++k;
      const t = (seconds - times[k]) / (times[k + 1] - times[k]);
      value = channel.target.path === 'rotation'
        ? slerp(values[k], values[k + 1], t)
        : values[k].map((x, i) => x + (values[k + 1][i] - x) * t);
    }
    gltf.nodes[channel.target.node][channel.target.path] = value;
  }
}
delete gltf.animations;
writeFileSync(output, JSON.stringify(gltf));
