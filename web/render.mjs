// The renderer's WebAssembly module as the page and its worker use it: the
// parameters as the one table describes them, and the filter on an image's
// samples (8-bit, or 16-bit on the whole 0..65535 range), in place.
// Threads need memory shared between workers, which a browser allows only
// to a cross-origin isolated page; elsewhere the render runs on one thread.
export const canUseThreads = typeof SharedArrayBuffer !== 'undefined' && globalThis.crossOriginIsolated === true;

const STATUS = ['done', 'out of memory', 'stopped', 'not an image the filter takes'];

export async function loadRenderer(moduleOptions = {}) {
  const threads = canUseThreads ? Math.min(navigator.hardwareConcurrency || 4, 16) : 1;
  const { default: GlyraRender } = threads > 1 ? await import('./glyra-render-threads.mjs') : await import('./glyra-render.mjs');
  const module = await GlyraRender(moduleOptions);
  // The memory as it is now (it may have grown, on any thread).
  const heap = () => (module.wasmMemory || module.HEAP8).buffer;
  const count = module._glyra_parameter_count();
  const range = module._malloc(6);
  const parameters = [];
  for (let i = 0; i < count; i++) {
    module._glyra_parameter_range(i, range);
    const [minimum, maximum, defaultValue] = new Int16Array(heap(), range, 3);
    // An enumerated parameter's values by name (the threshold type's "plain", ...); none for numbers.
    const choices = [];
    for (let value = minimum; value <= maximum; value++) {
      const choice = module.UTF8ToString(module._glyra_parameter_choice(i, value));
      if (choice) choices[value] = choice;
    }
    parameters.push({
      name: module.UTF8ToString(module._glyra_parameter_name(i)),
      label: module.UTF8ToString(module._glyra_parameter_label(i)),
      minimum, maximum, defaultValue,
      choices: choices.length ? choices : null,
    });
  }
  module._free(range);
  const maxSide = module._glyra_max_image_side();

  // image: { width, height, channels, depth: 8 | 16, samples: Uint8Array | Uint16Array };
  // values: the thirteen numbers in the table's order; onProgress(done, total),
  // when given, is called as the render goes and stops it by returning true.
  // The samples are replaced by the filtered ones only when the render
  // succeeds; otherwise it throws with the reason and they stay as they were.
  function filter(image, values, onProgress) {
    const { width, height, channels, depth, samples } = image;
    if (width > maxSide || height > maxSide) throw new Error(`the filter takes at most ${maxSide} pixels a side`);
    const bytes = samples.length * (depth === 16 ? 2 : 1);
    const pixels = module._malloc(bytes);
    const parameterBlock = module._malloc(2 * count);
    if (!pixels || !parameterBlock) {
      module._free(pixels);
      module._free(parameterBlock);
      throw new Error('out of memory');
    }
    try {
      new Int16Array(heap(), parameterBlock, count).set(values);
      (depth === 16 ? new Uint16Array(heap(), pixels, samples.length) : new Uint8Array(heap(), pixels, samples.length)).set(samples);
      module.onProgress = onProgress;
      const status = module._glyra_filter(pixels, depth === 16 ? 1 : 0, width, height, channels, parameterBlock, threads);
      if (status !== 0) throw new Error(STATUS[status] || `status ${status}`);
      // Memory may have grown during the render: look at it afresh.
      samples.set(depth === 16 ? new Uint16Array(heap(), pixels, samples.length)
                               : new Uint8Array(heap(), pixels, samples.length));
    } finally {
      module.onProgress = undefined;
      module._free(pixels);
      module._free(parameterBlock);
    }
  }

  return { parameters, filter, threads, defaults: () => parameters.map((p) => p.defaultValue) };
}
