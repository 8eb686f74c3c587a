#!/usr/bin/python3
# Makes Stata files of releases 114, 117, 118 and 119 with pandas: numbers, missing values,
# strings (cp1252 characters, and in 118/119 characters outside it), daily dates, a labelled
# categorical, variable labels. Run from this directory: /usr/bin/python3 make_pandas.py
import datetime as dt

import numpy as np
import pandas as pd

long = "abcdefghij" * 10
for version in (114, 117, 118, 119):
    unicode = version >= 118
    df = pd.DataFrame({
        "id": np.array([1, 2, 3, 4], dtype=np.int32),
        "score": [1.5, np.nan, -2.25, 1e10],
        "name": ["Zurich", "Z\u00fcrich", long if version >= 117 else long[:80],
                 "\u5317\u4eac" if unicode else "caf\u00e9"],
        "when": [dt.datetime(2020, 2, 29), dt.datetime(1960, 1, 1), pd.NaT, dt.datetime(1899, 12, 31)],
        "group": pd.Categorical(["low", "high", "low", None], categories=["low", "high"]),
    })
    kwargs = {"version": version, "write_index": False, "convert_dates": {"when": "td"},
              "variable_labels": {"score": "Score of the day", "group": "Group"}}
    df.to_stata(f"pandas_{version}.dta", **kwargs)
