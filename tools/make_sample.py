#!/usr/bin/env python3
"""Writes the sample files shipped with marlet:

    marlet/sample/marlet.txt   a template file, Shift-JIS, CR LF line ends
    marlet/sample/tovrin.ini   the settings file, Shift-JIS (its comments explain each
                               key in Japanese and English), CR LF line ends

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
; marlet と tovrin の設定です。両方のプログラムが c:\\vorn3\\tovrin.ini を
; 読みます (書き換えることはありません)。
; Settings of marlet and tovrin: both programs read c:\\vorn3\\tovrin.ini
; (and never write it).
;
; active : SQL*Plus のウィンドウに貼り付けさせる方法
;   yes          SQL*Plus を手前に出して、Shift+Insert を入力します。
;   それ以外 (no など)、キーやファイルがないとき
;                SQL*Plus はそのままの位置で、貼り付けのコマンドを送ります。
; active : how the SQL*Plus window is made to paste
;   yes          bring SQL*Plus to the front and type Shift+Insert.
;   anything else (no, say), or no key or file
;                leave SQL*Plus where it is and send it its paste command.
;
; console : SQL*Plus のウィンドウがないとき、コンソール (コマンド プロンプト、
;           Windows ターミナル) で動いている sqlplus.exe または SQLcl
;           (sqlcl\\bin\\sql.exe) に入力するかどうか
;   no           入力しません。テキストはクリップボードに残るだけです。
;   それ以外、キーがないとき
;                いま見ているコンソールのプロンプトに入力します (active=yes
;                なら、そのウィンドウを先に手前に出します)。
; console : whether, without a SQL*Plus window, sqlplus.exe or SQLcl
;           (sqlcl\\bin\\sql.exe) running in a console (Command Prompt,
;           Windows Terminal) gets the text typed
;   no           no: the text is only left on the clipboard.
;   anything else, or no key
;                yes, at the prompt of the console you are looking at (with
;                active=yes, its window is brought to the front first).
;
; どちらの場合も、テキストはクリップボードにも残ります。
; Either way, the text also stays on the clipboard.
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
    # The comments come before the section: a profile reader takes a line
    # in a section for a key, whatever it begins with.
    settings = crlf(INI).encode("shift_jis")
    assert settings.decode("cp932") == crlf(INI)
    assert all(line.startswith(";") for line in INI.split("[sql plus]")[0].splitlines())
    return {
        os.path.join(SAMPLE, "marlet.txt"): templates,
        os.path.join(SAMPLE, "tovrin.ini"): settings,
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
