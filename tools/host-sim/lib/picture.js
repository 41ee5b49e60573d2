// A small RGBA canvas for the demo's pictures: filled rectangles, pictures
// blended in, thick lines and dots.
// The lit segments of each digit: a top, b top right, c bottom right,
// d bottom, e bottom left, f top left, g middle.
const SEGMENTS = {
  0: 'abcdef', 1: 'bc', 2: 'abdeg', 3: 'abcdg', 4: 'bcfg', 5: 'acdfg', 6: 'acdefg', 7: 'abc', 8: 'abcdefg', 9: 'abcdfg',
};

export class Canvas {
  constructor(width, height, [r, g, b] = [0, 0, 0]) {
    this.width = width;
    this.height = height;
    this.rgba = Buffer.alloc(width * height * 4);
    this.fillRect(0, 0, width, height, [r, g, b]);
  }

  // Blends one pixel over what is there; `alpha` from 0 to 1.
  blend(x, y, [r, g, b], alpha = 1) {
    x = Math.round(x);
    y = Math.round(y);
    if (x < 0 || y < 0 || x >= this.width || y >= this.height || alpha <= 0) return;
    const i = (y * this.width + x) * 4;
    const keep = 1 - Math.min(alpha, 1);
    this.rgba[i] = Math.round(this.rgba[i] * keep + r * (1 - keep));
    this.rgba[i + 1] = Math.round(this.rgba[i + 1] * keep + g * (1 - keep));
    this.rgba[i + 2] = Math.round(this.rgba[i + 2] * keep + b * (1 - keep));
    this.rgba[i + 3] = 255;
  }

  fillRect(left, top, width, height, colour) {
    for (let y = top; y < top + height; y++) {
      for (let x = left; x < left + width; x++) this.blend(x, y, colour);
    }
  }

  // A rectangle with rounded corners, as the keys of a deck look.
  fillRoundRect(left, top, width, height, radius, colour) {
    for (let y = 0; y < height; y++) {
      for (let x = 0; x < width; x++) {
        const dx = Math.max(radius - x, x - (width - 1 - radius), 0);
        const dy = Math.max(radius - y, y - (height - 1 - radius), 0);
        const outside = Math.hypot(dx, dy) - radius;
        this.blend(left + x, top + y, colour, Math.min(1, Math.max(0, 0.5 - outside)));
      }
    }
  }

  // Draws a decoded picture ({width, height, rgba}) scaled to `size`.
  drawPicture(picture, left, top, width = picture.width, height = picture.height) {
    for (let y = 0; y < height; y++) {
      for (let x = 0; x < width; x++) {
        const sx = Math.floor((x * picture.width) / width);
        const sy = Math.floor((y * picture.height) / height);
        const i = (sy * picture.width + sx) * 4;
        const colour = [picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2]];
        this.blend(left + x, top + y, colour, picture.rgba[i + 3] / 255);
      }
    }
  }

  dot(cx, cy, radius, colour) {
    for (let y = Math.floor(cy - radius - 1); y <= Math.ceil(cy + radius + 1); y++) {
      for (let x = Math.floor(cx - radius - 1); x <= Math.ceil(cx + radius + 1); x++) {
        const outside = Math.hypot(x - cx, y - cy) - radius;
        this.blend(x, y, colour, Math.min(1, Math.max(0, 0.5 - outside)));
      }
    }
  }

  ring(cx, cy, radius, thickness, colour) {
    for (let y = Math.floor(cy - radius - thickness); y <= Math.ceil(cy + radius + thickness); y++) {
      for (let x = Math.floor(cx - radius - thickness); x <= Math.ceil(cx + radius + thickness); x++) {
        const away = Math.abs(Math.hypot(x - cx, y - cy) - radius) - thickness / 2;
        this.blend(x, y, colour, Math.min(1, Math.max(0, 0.5 - away)));
      }
    }
  }

  // Digits as a seven-segment display shows them, `height` pixels tall, the
  // text centred on `cx`: enough for a key's countdown title. Other
  // characters leave a gap.
  digits(text, cx, top, height, colour) {
    const width = height / 2;
    const thick = Math.max(2, Math.round(height / 9));
    const advance = width + thick * 2;
    let left = cx - (text.length * advance - thick * 2) / 2;
    for (const character of text) {
      const segments = SEGMENTS[character] ?? '';
      const bars = {
        a: [left, top, width, thick], d: [left, top + height - thick, width, thick],
        g: [left, top + (height - thick) / 2, width, thick],
        f: [left, top, thick, height / 2], b: [left + width - thick, top, thick, height / 2],
        e: [left, top + height / 2, thick, height / 2], c: [left + width - thick, top + height / 2, thick, height / 2],
      };
      for (const segment of segments) {
        const [x, y, w, h] = bars[segment].map(Math.round);
        this.fillRect(x, y, w, h, colour);
      }
      left += advance;
    }
  }

  line(x0, y0, x1, y1, thickness, colour) {
    const steps = Math.max(1, Math.ceil(Math.hypot(x1 - x0, y1 - y0)));
    for (let i = 0; i <= steps; i++) {
      this.dot(x0 + ((x1 - x0) * i) / steps, y0 + ((y1 - y0) * i) / steps, thickness / 2, colour);
    }
  }
}
