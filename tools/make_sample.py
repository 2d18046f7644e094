#!/usr/bin/env python3
"""Writes the sample files shipped with marlet:

    marlet/sample/marlet.txt   a template file, Shift-JIS, CR LF line ends
    marlet/sample/tovrin.ini   the settings file, ASCII, CR LF line ends

    python3 tools/make_sample.py [--check]

The texts live here in UTF-8; --check only verifies that the committed files
equal what this script would write.
"""
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLE = os.path.join(REPO, "marlet", "sample")

LONG_TEMPLATE = """\
select j.受注番号, j.受注日, j.得意先コード, t.得意先名, t.住所1, t.住所2, t.電話番号,
       m.明細番号, m.商品コード, s.商品名, s.規格, m.数量, m.単価, m.数量 * m.単価 as 金額,
       j.納期, j.出荷予定日, j.出荷区分, j.請求先コード, t.締日, t.支払条件,
       j.担当者コード, h.担当者名, h.部署コード, j.備考
  from 受注m j
  join 受注明細m m on m.受注番号 = j.受注番号
  join 得意先m t on t.得意先コード = j.得意先コード
  join 商品m s on s.商品コード = m.商品コード
  left join 担当者m h on h.担当者コード = j.担当者コード
 where j.受注日 >= trunc(sysdate, 'MM')
   and j.受注日 < add_months(trunc(sysdate, 'MM'), 1)
   and j.取消区分 = '0'
   and m.数量 > 0
   and s.廃番区分 = '0'
 order by j.受注日, j.受注番号, m.明細番号;"""

TEMPLATES = """\
marlet のテンプレート集です。最初の「■」の行より前は読み飛ばされます。
「■」で始まる行が見出し、次の見出しまでが SQL です。「==」で始まる行と空行は無視されます。
================================================================
■自分のテーブル一覧
select table_name, num_rows, last_analyzed
  from user_tables
 order by table_name;

■表領域の空き容量 (MB)
select tablespace_name, round(sum(bytes) / 1024 / 1024, 1) as 空き_mb
  from dba_free_space
 group by tablespace_name
 order by tablespace_name;
================================================================
■接続中のセッション
select sid, serial#, username, status, machine, program
  from v$session
 where username is not null
 order by username, sid;

■受注の件数 (日別)
select trunc(受注日) as 日付, count(*) as 件数
  from 受注m
 group by trunc(受注日)
 order by 1;
== 長いテンプレートは 500 文字ごとに分かれ、続きの項目は空白 3 つで始まります
■今月の受注明細 (長い SQL の例)
""" + LONG_TEMPLATE + """

■PL/SQL ブロックの例
set serveroutput on
begin
  dbms_output.put_line('受注m: ' || to_char(sysdate, 'YYYY-MM-DD'));
end;
/
"""

INI = """\
; Settings of marlet and tovrin; the programs read c:\\vorn3\\tovrin.ini.
; active=yes : bring SQL*Plus to the front and type Shift+Insert to paste.
; active=no (or anything else, or no file) : post SQL*Plus its paste command
;              and leave it where it is.
; Without the SQL*Plus window, a sqlplus.exe running in a console window
; (Command Prompt, Windows Terminal) gets the text typed at its prompt;
; active=yes brings its console window to the front first.
; console=no : do not look for it; the text is only left on the clipboard.
[sql plus]
active=no
console=yes
"""


def crlf(text):
    return text.replace("\n", "\r\n")


def outputs():
    templates = crlf(TEMPLATES).encode("shift_jis")  # strict JIS X 0208: also valid code page 932
    assert templates.decode("cp932") == crlf(TEMPLATES)
    assert len(crlf(LONG_TEMPLATE)) > 540  # split over two list items
    return {
        os.path.join(SAMPLE, "marlet.txt"): templates,
        os.path.join(SAMPLE, "tovrin.ini"): crlf(INI).encode("ascii"),
    }


def main(argv):
    check = "--check" in argv
    status = 0
    for path, data in outputs().items():
        rel = os.path.relpath(path, REPO)
        if check:
            with open(path, "rb") as f:
                same = f.read() == data
            print("%s: %s" % (rel, "up to date" if same else "DIFFERS"))
            status |= 0 if same else 1
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            print("%s: %d bytes" % (rel, len(data)))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
