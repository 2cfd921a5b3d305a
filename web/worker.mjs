// Renders in a worker of its own, so that the page stays responsive: a
// message { id, image, values, progress } comes back as { id, image, seconds }
// with the samples filtered (and the time the filter took, copies in and out of its memory included), { id, progress } on the way when asked, or { id,
// error }. { id, describe: true } answers with the parameter table.
import { loadRenderer } from './render.mjs';

const ready = loadRenderer();

self.onmessage = async (event) => {
  const { id, image, values, progress, describe } = event.data;
  let renderer;
  try {
    renderer = await ready;
  } catch (error) {
    self.postMessage({ id, error: `the renderer could not start: ${error.message || error}` });
    return;
  }
  if (describe) {
    self.postMessage({ id, parameters: renderer.parameters, threads: renderer.threads });
    return;
  }
  try {
    let last = 0;
    const started = performance.now();
    renderer.filter(image, values, progress ? (done, total) => {
      const now = performance.now();
      if (now - last > 50 || done === total) {
        last = now;
        self.postMessage({ id, progress: total > 0 ? done / total : 0 });
      }
      return false;
    } : undefined);
    self.postMessage({ id, image, seconds: (performance.now() - started) / 1000 }, [image.samples.buffer]);
  } catch (error) {
    self.postMessage({ id, error: error.message || String(error) });
  }
};
