#!/usr/bin/python3
# MAT-files made by scipy.io.savemat (levels 4 and 5, plain and compressed), each with a
# .expect file of what scipy.io.loadmat reads back: one line per row of the first matrix,
# values separated by tabs, NaN as NA. Run from this directory.
import numpy as np
import scipy.io as sio
from scipy import sparse


def expect(name, matrix):
    with open(name + ".expect", "w") as f:
        for row in np.atleast_2d(matrix):
            f.write("\t".join("NA" if np.isnan(v) else repr(float(v)) for v in row) + "\n")


a = np.array([[1.5, 2.0], [np.nan, 4.0], [5.0, 1e10]])
sio.savemat("level4_A_3x2_nan.mat", {"A": a}, format="4")
expect("level4_A_3x2_nan", sio.loadmat("level4_A_3x2_nan.mat")["A"])

wide = np.arange(1, 61, dtype=float).reshape(4, 15) / 4.0
sio.savemat("level4_wide.mat", {"wide": wide}, format="4")
expect("level4_wide", sio.loadmat("level4_wide.mat")["wide"])

sio.savemat("level5_A_3x2_nan.mat", {"A": a}, format="5")
expect("level5_A_3x2_nan", sio.loadmat("level5_A_3x2_nan.mat")["A"])

ints = np.array([[1, -2, 3], [400, 5, -32768]], dtype=np.int16)
sio.savemat("level5_int16_compressed.mat", {"B": ints}, format="5", do_compression=True)
expect("level5_int16_compressed", sio.loadmat("level5_int16_compressed.mat")["B"].astype(float))

logical = np.array([[True, False], [False, True], [True, True]])
sio.savemat("level5_logical.mat", {"L": logical}, format="5")
expect("level5_logical", sio.loadmat("level5_logical.mat")["L"].astype(float))

# Cell arrays, structs, sparse and complex variables are skipped; the matrix after them is read.
mixed = {
    "acell": np.array([[1, "two"]], dtype=object),
    "bstruct": {"x": 1.0},
    "csparse": sparse.csc_matrix(np.eye(3)),
    "dcomplex": np.array([[1 + 2j, 3]]),
    "values": np.array([[10.0, 20.0, 30.0]]),
}
sio.savemat("level5_mixed.mat", mixed, format="5", do_compression=True)
expect("level5_mixed", sio.loadmat("level5_mixed.mat")["values"])

sio.savemat("level5_only_cell.mat", {"c": np.array([[1, "x"]], dtype=object)}, format="5")
# level5_cell_count_lies.mat is a fuzzer finding kept as it was found: a compressed variable
# whose cell count is far beyond its bytes (libmatio would allocate gigabytes for it).
