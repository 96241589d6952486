"""A small animated GIF for the login advertisement, drawn and LZW-encoded
here so that the service ships no image file."""

import functools
import struct

WIDTH = 180
HEIGHT = 50
MAX_CODES = 4096
MAX_CODE_SIZE = 12


class _BitWriter:
    def __init__(self):
        self.data = bytearray()
        self.buffer = 0
        self.count = 0

    def write(self, code, size):
        self.buffer |= code << self.count
        self.count += size
        while self.count >= 8:
            self.data.append(self.buffer & 0xFF)
            self.buffer >>= 8
            self.count -= 8

    def finish(self):
        if self.count:
            self.data.append(self.buffer & 0xFF)
        return bytes(self.data)


def lzw_encode(indices, min_code_size):
    """GIF LZW. The code width follows the decoder's own count of table
    entries, which runs one code behind the encoder's."""
    clear = 1 << min_code_size
    end = clear + 1
    out = _BitWriter()
    state = {}

    def reset():
        state["table"] = {(i,): i for i in range(clear)}
        state["next"] = end + 1
        state["decoder_next"] = end + 1
        state["size"] = min_code_size + 1
        state["first"] = True

    def emit(code):
        out.write(code, state["size"])
        if state["first"]:
            state["first"] = False
            return
        state["decoder_next"] += 1
        if state["decoder_next"] == 1 << state["size"] and state["size"] < MAX_CODE_SIZE:
            state["size"] += 1

    reset()
    out.write(clear, state["size"])
    current = ()
    for index in indices:
        extended = current + (index,)
        if extended in state["table"]:
            current = extended
            continue
        emit(state["table"][current])
        state["table"][extended] = state["next"]
        state["next"] += 1
        if state["next"] == MAX_CODES:
            out.write(clear, state["size"])
            reset()
        current = (index,)
    if current:
        emit(state["table"][current])
    out.write(end, state["size"])
    return out.finish()


def _sub_blocks(data):
    pieces = [bytes([len(data[i : i + 255])]) + data[i : i + 255] for i in range(0, len(data), 255)]
    return b"".join(pieces) + b"\0"


def encode_gif(width, height, palette, frames, delay_cs=50):
    """palette: list of (r, g, b), at most 256; frames: lists of palette
    indices, width * height each; delay_cs: hundredths of a second, one for
    all frames or a list with one per frame. Loops forever when it has
    several frames."""
    delays = list(delay_cs) if isinstance(delay_cs, (list, tuple)) else [delay_cs] * len(frames)
    if len(delays) != len(frames):
        raise ValueError("one delay per frame")
    bits = max(1, (len(palette) - 1).bit_length())
    table = b"".join(bytes(colour) for colour in palette).ljust(3 << bits, b"\0")
    out = [b"GIF89a", struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (bits - 1), 0, 0), table]
    if len(frames) > 1:
        out.append(b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00")
    min_code_size = max(2, bits)
    for pixels, delay in zip(frames, delays):
        out.append(struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0, delay, 0, 0))
        out.append(struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0))
        out.append(bytes([min_code_size]) + _sub_blocks(lzw_encode(pixels, min_code_size)))
    out.append(b"\x3b")
    return b"".join(out)


# The second frame's delay is 0, which viewers replace by a default of their
# own: a picture with both kinds shows that both are handled.
FRAME_DELAYS_CS = (50, 0)


@functools.lru_cache(maxsize=16)
def advertisement(generation):
    """Two frames of a band sliding over a striped field; the colours change
    with the generation, so a new picture is visibly new."""
    hue = [(200, 40, 40), (40, 140, 60), (40, 80, 200), (200, 140, 20)][generation % 4]
    palette = [(255, 255, 255), hue, (225, 225, 225), (30, 30, 30)]
    frames = []
    for frame in range(2):
        pixels = []
        for y in range(HEIGHT):
            for x in range(WIDTH):
                if y < 2 or y >= HEIGHT - 2 or x < 2 or x >= WIDTH - 2:
                    pixels.append(3)
                elif (x // 30) % 2 == frame and 15 <= y < 35:
                    pixels.append(1)
                else:
                    pixels.append(0 if (x + y + generation) % 7 else 2)
        frames.append(pixels)
    return encode_gif(WIDTH, HEIGHT, palette, frames, FRAME_DELAYS_CS)
