# Bitmaps ImageMagick does not write on request: 16-bit (5 bits a channel), 32-bit, a 4-bit
# palette one, and a top-down (negative height) one, built from the published layout.
import struct

def bmp(name, width, height, bits, rows, palette=b""):
    row_len = ((width * bits + 7) // 8 + 3) // 4 * 4
    data = b"".join(r.ljust(row_len, b"\0") for r in rows)
    offset = 14 + 40 + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835, 0, 0)
    open(name, "wb").write(head + info + palette + data)

# 16-bit, 3x2: values 0x7FFF (white), 0x7C00 (red), 0x001F (blue) / 0x03E0, 0, 0x4210
bmp("rgb_16_bit.bmp", 3, 2, 16, [struct.pack("<HHH", 0x7FFF, 0x7C00, 0x001F), struct.pack("<HHH", 0x03E0, 0, 0x4210)])
# 32-bit, 2x2, BGRX
bmp("rgb_32_bit.bmp", 2, 2, 32, [bytes([1, 2, 3, 99, 10, 20, 30, 99]), bytes([255, 0, 128, 0, 7, 8, 9, 0])])
# 24-bit top-down 2x2: rows are stored first row first
bmp("top_down_24_bit.bmp", 2, -2, 24, [bytes([0, 0, 255, 0, 255, 0]), bytes([255, 0, 0, 1, 2, 3])])
# 4-bit, 5x1 with a 16-entry palette: indexes 1 2 3 0 15
pal = b"".join(struct.pack("<BBBB", i * 16, i * 8, i, 0) for i in range(16))
bmp("palette_4_bit.bmp", 5, 1, 4, [bytes([0x12, 0x30, 0xF0])], pal)
