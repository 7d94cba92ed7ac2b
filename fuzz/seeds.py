#!/usr/bin/env python3
"""Writes the seed corpora of fuzz/corpus/ from the shipped resources and the shapes the tests
use. Files named regression-* are findings and are kept as they are; run from the repository root."""
import glob
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def utf16(text):
    return text.encode("utf-16-le")


xml_files = sorted(glob.glob(os.path.join(ROOT, "resources", "*.xml")) +
                   glob.glob(os.path.join(ROOT, "tests", "fixtures", "*", "*.xml")))
for path in xml_files:
    data = open(path, "rb").read()
    name = os.path.relpath(path, ROOT).replace("/", "_")
    put("xml_file", name, data)
    # xml_text: a selector byte, then the document as UTF-16 code units.
    put("xml_text", name, b"\x08" + utf16(data.decode("utf-8")))

runtime = ('<?xml version="1.0" encoding="UTF-8"?>\n<vtrp><downloader><runtime><name>Capturo</name>'
           '<version>2.0.0.0</version><download_url>http://127.0.0.1:9/p.exe</download_url>'
           '<md5>0123456789ABCDEF0123456789ABCDEF</md5><filesize>20000</filesize>'
           '<banner_url>http://127.0.0.1:9/b?x=1</banner_url></runtime><bind><item><ProductID>77'
           '</ProductID><Url_Down>http://127.0.0.1:9/d.exe</Url_Down><ForkInstall>1</ForkInstall>'
           '</item></bind></downloader></vtrp>')
put("server_reply", "runtime.xml", runtime)
put("server_reply", "no_downloader.xml", "<vtrp><other><runtime><name>X</name></runtime></other></vtrp>")
put("server_reply", "visitor.json", '{"code":0,"data":"5f3c2a"}')

for name, text in {
    "token.json": '{"code":0,"data":{"access_token":"tok","expires_in":7200}}',
    "refused.json": '{"code":40001,"msg":"bad app key","data":null}',
    "upload.json": '{"code":0,"data":{"file_id":17,"url":"http://127.0.0.1:9/f"}}',
    "strategy.json": '{"code":0,"data":{"id":4294967301,"type":2,"tips":{"title":"\\u9001",'
                     '"content":"x"}}}',
    "strategy_odd.json": '{"code":0,"data":{"id":"9","type":1.5,"tips":{"title":7}}}',
}.items():
    put("service_reply", name, text)

put("http_dns_reply", "two.json", '["127.0.0.1","10.0.0.2"]\n')
put("http_dns_reply", "empty.json", "[]")

copydata = '{"pid":"e2e","event":"installed","time":"1","data":"Capturo"}'
put("copydata_text", "installed", utf16(copydata) + b"\0\0" + utf16(copydata.replace("1", "2")))
put("copydata_text", "sample_setup", utf16("sample-setup done") + b"\0\0")

put("command_line", "fork", b"\0".join([b"OnlyForkInstallDependent=1", b"HostLang=de",
                                        b"HostVersion=8.0.1", b"HostHwnd=1234"]))
put("command_line", "installer", utf16('"C:\\setup.exe" /S /DIR="/opt/Veltrin/Capturo" "a \\"b\\"" c\\\\'))


def frame(kind, message, wparam, payload=b""):
    return struct.pack("<IIIIQ", 0x5756554E, kind, message, len(payload), wparam) + payload


put("window_frame", "progress_and_text",
    frame(1, 0x046F, 40) + frame(2, 0x004A, 0, utf16("sample-setup done") + b"\0\0"))
put("window_frame", "query_activate", frame(4, 0, 0) + frame(3, 0, 0))


def record(entries):
    out = b"".join(struct.pack("<qq", a, b) for a, b in entries)
    return out + struct.pack("<q", len(entries))


# resume_record: byte 0 even = the size is derived from the file, then eight unused bytes.
put("resume_record", "two_ranges", b"\0" + bytes(8) + bytes(64) + record([(0, 9), (40, 63)]))
put("resume_record", "overlap", b"\0" + bytes(8) + bytes(32) + record([(4, 20), (10, 31), (4, 8)]))
put("resume_record", "given_total", b"\x01" + struct.pack("<q", 16) + bytes(16) + record([(0, 15)]))


# Dictionaries: fuzz/dict/<target>.dict, used by the run scripts when present.
def dictionary(target, words):
    os.makedirs(os.path.join(ROOT, "fuzz", "dict"), exist_ok=True)
    with open(os.path.join(ROOT, "fuzz", "dict", target + ".dict"), "w") as f:
        for word in words:
            f.write('"' + "".join("\\x%02X" % b for b in word) + '"\n')


xml_words = [w.encode() for w in ["<", ">", "</", "/>", "<?xml", "?>", "<!--", "-->", "<![CDATA[",
                                   "]]>", "<!DOCTYPE", "&lt;", "&amp;", "&#x41;", "&#65;", "=\"",
                                   "'", "vtrp", "downloader", "runtime", "bind", "item", "config"]]
json_words = [w.encode() for w in ['{"code":0', '"data":', '"access_token":', '"id":', '"type":',
                                    '"tips":', '"title":', '"content":', '"msg":', "null", "true",
                                    "1e309", "-0", "\\u0000", "\\ud800", "[", "]", ",", ":"]]
dictionary("xml_file", xml_words + [b"\xC0\x80", b"\xEF\xBB\xBF", b"\xF0\x9F\x98\x80"])
dictionary("server_reply", xml_words + [w.encode() for w in ["<name>", "<md5>", "<filesize>",
                                                             "<ProductID>", "<Url_Down>",
                                                             '"code":0', '"data":"']])
dictionary("xml_text", [w.decode().encode("utf-16-le") for w in xml_words])
dictionary("service_reply", json_words)
dictionary("http_dns_reply", [w.encode() for w in ['"', '",', "127.0.0.1", "0x7f.1", "1.2.3"]])
dictionary("copydata_text", [w.encode("utf-16-le") for w in [',"event"', '","time":"', '","data":"',
                                                             "\"", "\\", "\0"]])
dictionary("command_line", [w.encode("utf-16-le") for w in ['"', '\\"', '\\\\"', '""', " ", "\t",
                                                            "="]])
