// Our outputs read by independent tools; a row is skipped when its tool is missing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_util.h"

namespace {

std::string py(const std::string& code) { return "/usr/bin/python3 -c \"" + code + "\""; }
std::string has(const std::string& module) { return "/usr/bin/python3 -c 'import " + module + "'"; }
std::string haven(const char* read, const char* file) {
    return "Rscript -e 'library(haven); write.csv(as_factor(" + std::string(read) + "(\"" + file +
           "\")), stdout(), row.names = F)'";
}
const char kFactorCsv[] = "Site!,Plot,Dose,Note\nNorth,1,0.5,fine\nSouth,2,1.25,\nNorth,3,*,Z\xFCrich\n";
const char kFactorCsvByR[] =
    "\"Site\",\"Plot\",\"Dose\",\"Note\"\n\"North\",1,0.5,\"fine\"\n\"South\",2,1.25,\"\"\n\"North\",3,NA,\"Z\xC3\xBCrich\"\n";

const struct {
    const char* input;  // a sample under tests/data, or a CSV file's text
    const char* output;
    std::string check;    // a shell test that the tool is there
    std::string command;  // run beside the output
    std::string want;     // the whole of what it prints
} kRows[] = {
    // pandas reads dates as nanosecond times, so the 1582 date of the pspp file is left out.
    {"readstat/pspp.zsav", "w.dta", has("pandas"),
     py("import pandas as pd; d = pd.read_stata('w.dta'); print(list(d.columns)); print(d['city'].tolist()); "
        "print(d['stamp'].astype(str).tolist()); print(d['grp'].astype(str).tolist())"),
     "['id', 'score', 'city', 'born', 'clock', 'stamp', 'grp']\n['capital', 'Basel', 'Chur', nan]\n"
     "['1960-01-01 06:00:00', '1999-12-31 23:59:59', '2024-07-14 12:00:00', '1900-03-01 00:00:00']\n"
     "['low', 'high', '9', 'low']\n"},
    {"readstat/haven_v15.dta", "src.xlsx", has("openpyxl"),
     py("import openpyxl; ws = openpyxl.load_workbook('src.xlsx').active; "
        "print(ws.title); [print(r) for r in ws.iter_rows(max_row=3, values_only=True)]"),
     "src\n('id', 'score', 'name', 'when', 'group')\n(1, 1.5, 'Zurich', datetime.datetime(2020, 2, 29, 0, 0), 'low')\n"
     "(2, None, 'Z\xC3\xBCrich', datetime.datetime(1960, 1, 1, 0, 0), 'high')\n"},
    // A factor, missing cell, empty and cp1252 text as haven reads them from .sav and .dta.
    {kFactorCsv, "w.sav", "Rscript -e 'library(haven)'", haven("read_sav", "w.sav"), kFactorCsvByR},
    {kFactorCsv, "w.dta", "Rscript -e 'library(haven)'", haven("read_dta", "w.dta"), kFactorCsvByR},
    {"readstat/haven_v15.dta", "w.xlsx", "command -v ssconvert", "ssconvert w.xlsx w.csv && head -n 2 w.csv",
     "id,score,name,when,group\n1,1.5,Zurich,2020/02/29,low\n"},
    {"weka/r_write_arff.arff", "ours.arff", "test -r /usr/share/java/weka.jar && command -v java",
     "java -cp /usr/share/java/weka.jar weka.core.converters.CSVSaver -i ours.arff",
     "when,colour,x,txt\n'2001-02-03 04:05:06',red,1.25,'a b'\n'1999-12-31 23:59:59','green blue',?,plain\n"
     "?,?,-30000000000,'100\\%'\n"},
    {"weka/weka_csvloader.arff", "plain.arff", has("arff"),  // liac-arff has no dates
     py("import arff; d=arff.load(open('plain.arff')); print(d['relation'], d['attributes'][3], d['data'][2])"),
     "iris_small ('note', ['first one', 'comma, inside', 'plain', 'odd']) [7.0, 3.2, 'Iris-versicolor', "
     "'comma, inside']\n"},
    // A NaN read as missing goes back out as the missing NaN.
    {"matlab/level4_A_3x2_nan.mat", "again.mat", has("scipy.io"),
     py("import scipy.io as s, numpy as n; a=s.loadmat('again.mat')['A']; print(a.shape, n.isnan(a[1,0]), a[2,1])"),
     "(3, 2) True 10000000000.0\n"},
    {"V1,V2,V3\n0,1,2\n10,11,12\n20,21,22\n30,31,32\n40,*,42\n", "np.fmt", has("numpy"),
     py("import numpy; a = numpy.fromfile('np.fmt', '<f8', offset=16).reshape(5, 3); print(a[2].tolist(), a[4, 1] < 1e-300)"),
     "[20.0, 21.0, 22.0] True\n"},
    {"Name,Count,Ratio,Big,Group,VeryLongName1,VeryLongName2\nalpha,1,1.5,1e15,a,1,2\n"
     "\"a much longer text, with comma\",-20,*,-3.25e-5,b,3,4\ngamma,*,0.001,7,a,5,6\n",
     "out.dbf", has("dbf"),
     py("import dbf; t = dbf.Table('out.dbf'); t.open(); r = ['|'.join('' if v is None else str(v).strip() "
        "for v in rec) for rec in t]; print(len(r), r[0][:14], r[2][:10])"),
     "3 alpha|1.0|1.5| gamma||0.0\n"},
};

TEST(ToolsReadOutputs, AsTheyWereWritten) {
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.input).substr(0, 30) + " -> " + row.output + ": " + row.command.substr(0, 40));
        if (!tool_present(row.check)) {
            std::printf("skipped, not installed: %s\n", row.check.c_str());
            continue;
        }
        ScratchDir dir;
        const std::string input = std::strchr(row.input, '\n') ? (write_file(dir.file("in.csv"), row.input), "in.csv")
                                  : copy_sample(dir, row.input, "src" + std::string(std::strrchr(row.input, '.')));
        RunResult r = run_morvalen(dir.path(), {input, row.output});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(shell_output("cd '" + dir.path() + "' && " + row.command + " 2>/dev/null"), row.want);
    }
}

}  // namespace
