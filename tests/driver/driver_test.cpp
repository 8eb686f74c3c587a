// The driver as a process: usage, the exit statuses and their messages, output naming.
#include <gtest/gtest.h>

#include "test_util.h"

TEST(Driver, UsageWithoutArgumentsIsStatusOne) {
    ScratchDir dir;
    RunResult r = run_morvalen(dir.path(), {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Morvalen - Translates Spreadsheet/Database files into Vantrix/Gauss format.\n", 0), 0u);
    EXPECT_NE(r.out.find("Usage: Morvalen Inputfile/options Outputfile/options <Sheet> <Range>\n"),
              std::string::npos);
    // The output formats come from the format table, two to a line where the text says so.
    EXPECT_NE(r.out.find("                .VSH - Vantrix spreadsheet file loaded with SPLOAD\n"
                         "                .VXC - Vantrix command file loaded with INPUT\n"
                         "                .FMT - Gauss PC Matrix file loaded with LOADM\n"
                         "                .TXT - ASCII Text file (Note +/s produces suffixed Identifiers)\n"
                         "                .DBF - dBase 3 file,  .WOR - Instat Worksheet file\n"
                         "                .XLS - Excel 95 Spreadsheet file, .SDD - S+ Data Frame\n"
                         "   Sheet      - optional"),
              std::string::npos);
    // The last usage line has no line end.
    const std::string last = "          Morvalen Test.WB2 Test.TXT A C1:K100";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
}

TEST(Driver, MissingInputIsStatusTwo) {
    ScratchDir dir;
    RunResult r = run_morvalen(dir.path(), {"nothere.csv", "out.vsh"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: Input File nothere.csv not found!\n");
}

TEST(Driver, EmptyInputFileIsNotFound) {
    ScratchDir dir;
    write_file(dir.file("empty.csv"), "");
    RunResult r = run_morvalen(dir.path(), {"empty.csv", "out.vsh"});
    EXPECT_EQ(r.status, 2);
}

TEST(Driver, UnknownTypeIsStatusThree) {
    ScratchDir dir;
    write_file(dir.file("blob.bin"), std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 15));
    RunResult r = run_morvalen(dir.path(), {"blob.bin", "out.vsh"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "Error: Unknown File type!\n");
}

TEST(Driver, OutputEqualToInputInAnyCaseIsStatusSixBeforeReading) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n");
    RunResult r = run_morvalen(dir.path(), {"a.csv", "A.CSV"});
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, "Error: Output File A.CSV is the same as the input file!\n");
    EXPECT_EQ(read_file(dir.file("a.csv")), "x,y\n1,2\n");
}

TEST(Driver, ReaderFailureIsStatusFiveAndWritesNoOutput) {
    ScratchDir dir;
    // A SAS 7 data set signature on a file too short to hold one: recognised, but refused.
    std::string sas7(100, '\0');
    sas7.replace(84, 3, "SAS");
    sas7[12] = 1;  // otherwise the leading zeros read as Matlab
    write_file(dir.file("d.sas7bdat"), sas7);
    RunResult r = run_morvalen(dir.path(), {"d.sas7bdat", "out.csv"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out,
              "Error: d.sas7bdat: Unable to read from file.\n"
              " Error: No valid data in input file d.sas7bdat!\n");
    EXPECT_FALSE(file_exists(dir.file("out.csv")));
    EXPECT_FALSE(file_exists(dir.file("out.$$$")));
}

TEST(Driver, DefaultOutputNameIsAnnouncedUnlessListingNames) {
    ScratchDir dir;
    std::string sas7(100, '\0');
    sas7.replace(84, 3, "SAS");
    sas7[12] = 1;  // otherwise the leading zeros read as Matlab
    write_file(dir.file("d.dat"), sas7);
    RunResult r = run_morvalen(dir.path(), {"d.dat"});
    EXPECT_EQ(r.out.rfind("Note: Writing data to Morvalen.VSH by default.\n", 0), 0u);
    RunResult quiet = run_morvalen(dir.path(), {"d.dat/w"});
    EXPECT_EQ(quiet.out.find("Note:"), std::string::npos);
}

TEST(Driver, OptionsInsideTheInputNameAreRemovedBeforeOpening) {
    ScratchDir dir;
    RunResult r = run_morvalen(dir.path(), {"Test.csv/n/t=2", "x.vsh/s/e"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: Input File Test.csv not found!\n");
    RunResult q = run_morvalen(dir.path(), {"\"My Data.csv\"/n", "x.vsh"});
    EXPECT_EQ(q.out, "Error: Input File My Data.csv not found!\n");
}

TEST(Driver, WriterThatWritesNothingIsStatusSix) {
    ScratchDir dir;
    write_file(dir.file("blank.csv"), "a,b\n*,*\n*,*\n");
    RunResult r = run_morvalen(dir.path(), {"blank.csv", "blank.vsh"});
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, " Output file not written! (No valid records?).\n");
    EXPECT_FALSE(file_exists(dir.file("blank.vsh")));
    EXPECT_FALSE(file_exists(dir.file("blank.$$$")));
}

TEST(Driver, SuccessRenamesTheTemporaryIntoPlace) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    RunResult r = run_morvalen(dir.path(), {"a.csv", "a.vsh/p"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " 2 records transferred.\n");
    EXPECT_TRUE(file_exists(dir.file("a.vsh")));
    EXPECT_FALSE(file_exists(dir.file("a.$$$")));
    EXPECT_EQ(read_file(dir.file("a.$V$")), "2\nx\ny\n");
    // No extension: the temporary name is the name plus ".$$$" and the output is text.
    RunResult plain = run_morvalen(dir.path(), {"a.csv", "plain"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_TRUE(file_exists(dir.file("plain")));
    EXPECT_FALSE(file_exists(dir.file("plain.$$$")));
}

TEST(Driver, TextConversionWarningsAreAnnounced) {
    ScratchDir dir;
    write_file(dir.file("w.csv"), "Weight\n1.5\nO.5\nabc\n");
    write_file(dir.file("w.VAR"), "Weight#\n");
    RunResult r = run_morvalen(dir.path(), {"w.csv/v", "w.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " 3 records transferred.\n Text Conversion Warnings are given in file: TxtToNum.ERR!\n");
    EXPECT_EQ(read_file(dir.file("TxtToNum.ERR")),
              "Text to Number Conversion Warnings\n \n"
              "Column Weight Row    2: O.5 read as 0.5\n"
              "Column Weight Row    3: abc read as *\n");
    // A clean run removes the stale warnings file.
    RunResult again = run_morvalen(dir.path(), {"w.csv", "w2.txt"});
    EXPECT_EQ(again.status, 0);
    EXPECT_FALSE(file_exists(dir.file("TxtToNum.ERR")));
}

TEST(Driver, CsvWithUtf8ByteOrderMarkConverts) {
    ScratchDir dir;
    write_file(dir.file("bom.csv"), "\xEF\xBB\xBFPlot,Yield\r\n1,5.5\r\n2,6.25\r\n");
    RunResult r = run_morvalen(dir.path(), {"bom.csv", "bom.tab"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(dir.file("bom.tab")), "Plot\tYield\n1\t5.5\n2\t6.25\n");
}

TEST(Driver, FatalSpreadsheetErrorEndsWithItsStatusAndNoOutput) {
    // Found by fuzzing: an Excel 2 worksheet whose DIMENSIONS record is broken.
    ScratchDir dir;
    write_file(dir.file("bad.xls"), read_file(data_path("xls/damaged/excel2_bad_dimension.xls")));
    RunResult r = run_morvalen(dir.path(), {"bad.xls", "out.csv"});
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(r.out, "Error: Invalid Excel file Dimension record!\n");
    EXPECT_FALSE(file_exists(dir.file("out.csv")));
    EXPECT_FALSE(file_exists(dir.file("out.$$$")));
}
