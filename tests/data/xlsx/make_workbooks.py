#!/usr/bin/python3
# Makes the xlsx and ods test files and what openpyxl reads back from them (a tab-separated table
# per sheet, ISO dates, booleans as 1/0, empty for no value): trial.xlsx by openpyxl (two sheets,
# shared strings, dates, a boolean, a formula, a defined name, text outside Windows-1252, 100
# characters), its copies trial_ss.xlsx and trial.ods by ssconvert; handmade.xlsx (inline strings,
# rich text with a phonetic run, errors, cells without references, a date-time format, 1904) and
# repeats.ods (a million repeated empty cells and rows) part by part. Run from this directory.
import csv
import datetime as dt
import subprocess
import zipfile

import openpyxl
from openpyxl.workbook.defined_name import DefinedName

LONG = "abcdefghij" * 10


def make_trial():
    (ws := (wb := openpyxl.Workbook()).active).title = "Trial"
    ws.append(["Plot", "Yield", "Variety", "Sown", "Ok", "Double", "Place"])
    rows = [(1, 2.5, "Alpha", dt.date(2020, 2, 29), True, "Z\u00fcrich"),
            (2, 3.25, "Beta", dt.date(1960, 1, 1), False, "\u5317\u4eac"),
            (3, None, "Alpha", dt.date(1900, 3, 1), True, LONG), (4, 4.0, "Gamma", None, None, "Bern")]
    for i, (plot, yld, var, sown, ok, place) in enumerate(rows, start=2):
        for col, v in enumerate((plot, yld, var, sown, ok, f"=A{i}*2", place), start=1):
            ws.cell(i, col, v)
        ws.cell(i, 4).number_format = "yyyy-mm-dd"
    ws2 = wb.create_sheet("Second")
    for row in [["x", "y"]] + [[k, k * k] for k in range(1, 6)]:
        ws2.append(row)
    wb.defined_names.append(DefinedName("block", attr_text="Trial!$A$1:$B$4"))
    wb.save("trial.xlsx")


RELS = 'Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"'
OFFICE_RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def make_handmade():
    ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    rel = f'xmlns:r="{OFFICE_RELS}"'
    workbook = (f'<?xml version="1.0"?><workbook {ns} {rel}><workbookPr date1904="1"/>'
                '<sheets><sheet name="Only" sheetId="1" r:id="rId7"/></sheets></workbook>')
    rels = (f'<?xml version="1.0"?><{RELS}><Relationship Id="rId7" Type="{OFFICE_RELS}/worksheet" '
            'Target="/xl/worksheets/data.xml"/></Relationships>')
    shared = (f'<?xml version="1.0"?><sst {ns} count="3" uniqueCount="3"><si><t>Name</t></si>'
              '<si><r><rPr><b/></rPr><t>Bold</t></r><r><t xml:space="preserve"> and plain</t></r>'
              '<rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si><si><t>When</t></si></sst>')
    styles = (f'<?xml version="1.0"?><styleSheet {ns}><numFmts count="1">'
              '<numFmt numFmtId="170" formatCode="dd/mm/yyyy\\ hh:mm"/></numFmts>'
              '<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="170"/><xf numFmtId="14"/></cellXfs></styleSheet>')
    rows = [
        '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>2</v></c><c r="C1" t="inlineStr"><is><t>Flag</t></is></c>'
        '<c r="D1" t="inlineStr"><is><t>Day</t></is></c></row>',
        '<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" s="1"><v>1.5</v></c><c r="C2" t="b"><v>1</v></c>'
        '<c r="D2" s="2"><v>1</v></c></row>',
        # No cell references: positions follow from the order.
        '<row><c t="inlineStr"><is><r><t>in</t></r><r><t>line</t></r></is></c><c s="1"><v>366.75</v></c>'
        '<c t="e"><v>#DIV/0!</v></c><c s="2"><v>1462</v></c></row>',
        '<row r="5"><c r="A5" t="str"><f>CONCAT("a","b")</f><v>ab</v></c><c r="C5" t="b"><v>0</v></c></row>',
    ]
    ct = "application/vnd.openxmlformats-officedocument.spreadsheetml"
    overrides = "".join(f'<Override PartName="/xl/{part}.xml" ContentType="{ct}.{kind}+xml"/>' for part, kind in
                        [("workbook", "sheet.main"), ("worksheets/data", "worksheet"), ("sharedStrings", "sharedStrings"),
                         ("styles", "styles")])
    parts = {
        "[Content_Types].xml": '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                               '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                               + overrides + "</Types>",
        "_rels/.rels": f'<?xml version="1.0"?><{RELS}><Relationship Id="rId1" Type="{OFFICE_RELS}/officeDocument" '
                       'Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml": workbook, "xl/_rels/workbook.xml.rels": rels, "xl/sharedStrings.xml": shared,
        "xl/styles.xml": styles, "xl/worksheets/data.xml": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        f'<worksheet {ns}><sheetData>' + "".join(rows) + '</sheetData></worksheet>'}
    with zipfile.ZipFile("handmade.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            z.writestr(name, text)


def make_repeats():
    office = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
              'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
              'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"')
    cell = lambda v: f'<table:table-cell office:value-type="float" office:value="{v}"><text:p>{v}</text:p></table:table-cell>'
    text = lambda t: f'<table:table-cell office:value-type="string"><text:p>{t}</text:p></table:table-cell>'
    empty_run = '<table:table-cell table:number-columns-repeated="1000000"/>'
    rows = [
        f'<table:table-row>{text("a")}{text("b")}{text("when")}{text("t")}{empty_run}</table:table-row>',
        f'<table:table-row table:number-rows-repeated="3">{cell(1)}{cell(2)}'
        '<table:table-cell office:value-type="date" office:date-value="2024-07-14"/>'
        '<table:table-cell office:value-type="time" office:time-value="PT12H30M00S"/>'
        f'{empty_run}</table:table-row>',
        '<table:table-row table:number-rows-repeated="1000000"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>',
        f'<table:table-row>{cell(7)}<table:table-cell table:number-columns-repeated="2" office:value-type="float" office:value="8"/>'
        '<table:table-cell office:value-type="boolean" office:boolean-value="true"/></table:table-row>',
    ]
    content = (f'<?xml version="1.0" encoding="UTF-8"?><office:document-content {office}><office:body>'
               '<office:spreadsheet><table:table table:name="Rep">' + "".join(rows) +
               '</table:table></office:spreadsheet></office:body></office:document-content>')
    with zipfile.ZipFile("repeats.ods", "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("content.xml", content, zipfile.ZIP_DEFLATED)


def cell_text(v):
    if isinstance(v, bool):
        return str(int(v))
    if isinstance(v, dt.datetime):
        return v.isoformat(sep=" ") if v.hour or v.minute or v.second else v.date().isoformat()
    if isinstance(v, (dt.date, dt.time)):
        return v.isoformat()
    return "" if v is None or (isinstance(v, str) and v.startswith("#")) else str(v)  # "#": an error value


def expect_openpyxl(path):
    for ws in openpyxl.load_workbook(path, data_only=True).worksheets:
        with open(f"{path}.{ws.title}.expect", "w", encoding="utf-8", newline="") as f:
            csv.writer(f, delimiter="\t", lineterminator="\n").writerows(
                [cell_text(v) for v in row] for row in ws.iter_rows(values_only=True))


make_trial()
for copy in ("trial_ss.xlsx", "trial.ods"):
    subprocess.run(["ssconvert", "trial.xlsx", copy], check=True, capture_output=True)
make_handmade()
make_repeats()
for path in ("trial_ss.xlsx", "handmade.xlsx", "trial.xlsx"):
    expect_openpyxl(path)
