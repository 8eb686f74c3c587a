/* Paradox tables written by pxlib (Debian pxlib-dev), and a dump of any table as pxlib reads
 * it, used to check the tables that make_pdx_old.py builds by hand.
 *   cc -o make_pdx make_pdx.c -lpx && ./make_pdx && ./make_pdx dump old_layout.db
 */
#include <paradox.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int make(const char *path, int nrecords) {
    pxfield_t init[8] = {
        {"Name", pxfAlpha, 12, 0},   {"Small", pxfShort, 2, 0},   {"Big", pxfLong, 4, 0},
        {"Money", pxfCurrency, 8, 0}, {"Num", pxfNumber, 8, 0},    {"Flag", pxfLogical, 1, 0},
        {"Memo", pxfMemoBLOb, 11, 0}, {"After", pxfShort, 2, 0},
    };
    /* pxlib takes the field array and its names and frees them itself. */
    pxfield_t *f = malloc(sizeof init);
    memcpy(f, init, sizeof init);
    for (int i = 0; i < 8; i++) f[i].px_fname = strdup(init[i].px_fname);
    pxdoc_t *px = PX_new();
    if (PX_create_file(px, f, 8, path, pxfFileTypNonIndexDB) < 0) return 1;
    PX_set_tablename(px, "types");
    char *rec = calloc(1, PX_get_recordsize(px));
    for (int r = 0; r < nrecords; r++) {
        memset(rec, 0, PX_get_recordsize(px));
        char name[16];
        snprintf(name, sizeof name, "row %d", r + 1);
        int off = 0;
        PX_put_data_alpha(px, rec + off, 12, name), off += 12;
        PX_put_data_short(px, rec + off, 2, r == 0 ? -2 : r == 1 ? 300 : (short)r), off += 2;
        PX_put_data_long(px, rec + off, 4, r == 0 ? -70000 : 70000 + r), off += 4;
        PX_put_data_double(px, rec + off, 8, r == 0 ? 12345.67 : -0.25 * r), off += 8;
        PX_put_data_double(px, rec + off, 8, r == 0 ? 0.0 : 1.0 / (r + 1)), off += 8;
        PX_put_data_byte(px, rec + off, 1, r % 2 ? 1 : 0), off += 1;
        off += 11; /* memo left empty */
        PX_put_data_short(px, rec + off, 2, (short)(r + 1000));
        PX_put_recordn(px, rec, r);
    }
    free(rec);
    PX_close(px);
    PX_delete(px);
    return 0;
}

static int dump(const char *path) {
    pxdoc_t *px = PX_new();
    if (PX_open_file(px, path) < 0) return 1;
    int n = PX_get_num_fields(px);
    pxfield_t *f = PX_get_fields(px);
    printf("records %d fields %d\n", PX_get_num_records(px), n);
    for (int i = 0; i < n; i++) printf("field %s type %d size %d\n", f[i].px_fname, f[i].px_ftype, f[i].px_flen);
    char *rec = malloc(PX_get_recordsize(px));
    for (int r = 0; r < PX_get_num_records(px); r++) {
        if (!PX_get_record(px, r, rec)) continue;
        int off = 0;
        printf("row");
        for (int i = 0; i < n; i++) {
            short s; long l; double d;
            if (f[i].px_ftype == pxfShort && PX_get_data_short(px, rec + off, 2, &s) > 0) printf(" %d", s);
            else if (f[i].px_ftype == pxfLong && PX_get_data_long(px, rec + off, 4, &l) > 0) printf(" %ld", l);
            else if ((f[i].px_ftype == pxfNumber || f[i].px_ftype == pxfCurrency) && PX_get_data_double(px, rec + off, 8, &d) > 0) printf(" %g", d);
            else printf(" .");
            off += f[i].px_flen;
        }
        printf("\n");
    }
    PX_close(px);
    PX_delete(px);
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "dump") == 0) return dump(argv[2]);
    return make("pxlib_types.db", 300) || make("pxlib_empty.db", 0);
}
