#!/usr/bin/env node
// Writes the notes the Basic Pitch model finds in audio files as CSV
// ("onset-seconds,offset-seconds,midi-note" lines), so the transcription scorer can measure it
// beside `cantova transcribe` on the same files.
//
// Usage: node basic_pitch_notes.js [--onset T] [--frame T] [--min-frames N] IN.wav OUT.csv ...
// Any number of IN/OUT pairs; the model is loaded once. Decoding uses sox (to mono 22050 Hz
// 32-bit float). Runs on the plain JavaScript backend of TensorFlow.js: no native add-on,
// no download; the model comes with the npm package.
'use strict';

const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const tf = require('@tensorflow/tfjs');
const bp = require('@spotify/basic-pitch');

// The defaults of the model's own command-line tool: onset 0.5, frame 0.3, notes of at least
// 127.7 ms (11 frames of 256 samples at 22050 Hz).
const options = { onset: 0.5, frame: 0.3, minFrames: 11 };
const files = [];
const args = process.argv.slice(2);
for (let i = 0; i < args.length; ++i) {
  if (args[i] === '--onset') options.onset = Number(args[++i]);
  else if (args[i] === '--frame') options.frame = Number(args[++i]);
  else if (args[i] === '--min-frames') options.minFrames = Number(args[++i]);
  else files.push(args[i]);
}
if (files.length === 0 || files.length % 2 !== 0) {
  process.stderr.write('Usage: basic_pitch_notes.js [--onset T] [--frame T] [--min-frames N] IN OUT.csv ...\n');
  process.exit(2);
}

function loadModel() {
  const dir = path.join(path.dirname(require.resolve('@spotify/basic-pitch/package.json')), 'model');
  const json = JSON.parse(fs.readFileSync(path.join(dir, 'model.json'), 'utf8'));
  const buffers = json.weightsManifest.flatMap((group) =>
    group.paths.map((p) => fs.readFileSync(path.join(dir, p))));
  const weights = Buffer.concat(buffers);
  const handler = tf.io.fromMemory({
    modelTopology: json.modelTopology,
    weightSpecs: json.weightsManifest.flatMap((group) => group.weights),
    weightData: weights.buffer.slice(weights.byteOffset, weights.byteOffset + weights.byteLength),
    format: json.format,
    generatedBy: json.generatedBy,
    convertedBy: json.convertedBy,
  });
  return tf.loadGraphModel(handler);
}

function readAudio(file) {
  const raw = execFileSync('sox', [file, '-t', 'raw', '-e', 'floating-point', '-b', '32', '-c', '1',
    '-r', '22050', '-'], { maxBuffer: 1 << 30 });
  return new Float32Array(raw.buffer, raw.byteOffset, raw.byteLength / 4).slice();
}

async function transcribe(model, input, output) {
  const frames = [];
  const onsets = [];
  const contours = [];
  await model.evaluateModel(readAudio(input), (f, o, c) => {
    frames.push(...f);
    onsets.push(...o);
    contours.push(...c);
  }, () => {});
  const notes = bp.noteFramesToTime(bp.addPitchBendsToNoteEvents(contours,
    bp.outputToNotesPoly(frames, onsets, options.onset, options.frame, options.minFrames)));
  notes.sort((a, b) => a.startTimeSeconds - b.startTimeSeconds);
  const lines = notes.map((n) => `${n.startTimeSeconds.toFixed(4)},` +
    `${(n.startTimeSeconds + n.durationSeconds).toFixed(4)},${n.pitchMidi}`);
  fs.writeFileSync(output, lines.join('\n') + (lines.length ? '\n' : ''));
}

async function main() {
  await tf.setBackend('cpu');
  const model = new bp.BasicPitch(loadModel());
  for (let i = 0; i < files.length; i += 2)
    await transcribe(model, files[i], files[i + 1]);
}

main().catch((e) => {
  process.stderr.write(`basic_pitch_notes: ${e.message}\n`);
  process.exit(1);
});
