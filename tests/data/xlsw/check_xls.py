#!/usr/bin/python3
"""Checks a written .xls: python3-olefile opens the container strictly and lists its streams; a
walk over the "Book" stream checks BOUNDSHEET -> BOF, INDEX -> DBCELL -> ROW; python3-xlrd prints
each cell of the first sheet as "row,col,type,value".
Usage: check_xls.py file.xls [--container]  (bare Excel 2-4: xlrd only; --container: no xlrd)"""
import struct
import sys

import xlrd


def walk_book(book):
    recs, pos = {}, 0
    while pos + 4 <= len(book):
        code, length = struct.unpack_from("<HH", book, pos)
        recs[pos] = (code, book[pos + 4:pos + 4 + length])
        pos += 4 + length
    assert pos == len(book), "records do not end at the end of the stream"
    bound = [b for c, b in recs.values() if c == 0x0085]
    assert bound and recs[struct.unpack_from("<I", bound[0])[0]][0] == 0x0809, "BOUNDSHEET does not point at a BOF"
    index = [b for c, b in recs.values() if c == 0x020B]
    assert len(index) == 1, "one INDEX expected"
    body, (_, last, defcol) = index[0], struct.unpack_from("<HHI", index[0], 4)
    assert recs[defcol][0] == 0x0055, "INDEX does not point at DEFCOLWIDTH"
    blocks = (len(body) - 12) // 4
    assert blocks == (last - 1) // 32 + 1, "INDEX block count"
    for k in range(blocks):
        at = struct.unpack_from("<I", body, 12 + 4 * k)[0]
        assert recs[at][0] == 0x00D7, "INDEX entry %d does not point at a DBCELL" % k
        assert recs[at - struct.unpack_from("<I", recs[at][1], 0)[0]][0] == 0x0208, "DBCELL %d does not point back at a ROW" % k
    print("walk ok", blocks)


def main(path):
    with open(path, "rb") as f:
        container = f.read(4) == b"\xD0\xCF\x11\xE0"
    if container:
        import olefile
        ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
        print("streams", sorted("/".join(s) for s in ole.listdir()))
        book = ole.openstream("Book").read()
        print("book", len(book), "mini" if len(book) < 4096 else "regular")
        walk_book(book)
        ole.close()
    if "--container" in sys.argv:
        return
    sh = xlrd.open_workbook(path).sheet_by_index(0)
    print("sheet", sh.name, sh.nrows, sh.ncols)
    for r in range(sh.nrows):
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            if cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                print("%d,%d,%d,%s" % (r, c, cell.ctype, cell.value if cell.ctype == xlrd.XL_CELL_TEXT else repr(float(cell.value))))
    if hasattr(sh, "cell_note_map"):
        for (r, c), note in sorted(sh.cell_note_map.items()):
            print("note %d,%d %s" % (r, c, note.text))


if __name__ == "__main__":
    main(sys.argv[1])
