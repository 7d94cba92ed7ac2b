#!/usr/bin/env python3
"""Composes a contact sheet of the rasterised artwork, for looking at it.

    python3 contact_sheet.py BUILD/skin_art OUT.png [--scale 2]

The sheet mocks the pages and dialogs with the images at their skin rectangles (nine-patch corners
applied the way the toolkit applies them; texts are stand-ins) and lists every image below. It is
drawn as SVG next to the images and rasterised with rsvg-convert, so nothing beyond the build's own
tool is needed. resources/skin/art/preview.png is this sheet at scale 1.
"""

import pathlib
import struct
import subprocess
import sys
from xml.sax.saxutils import escape

FONT = "Noto Sans CJK SC, sans-serif"


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise SystemExit(f"not a PNG: {path}")
    return struct.unpack(">II", head[16:24])


class Sheet:
    def __init__(self, art_dir, scale):
        self.art_dir = art_dir
        self.folder = f"{scale}x"
        self.scale = scale
        self.parts = []

    def size(self, name):
        w, h = png_size(self.art_dir / self.folder / f"{name}.png")
        return w / self.scale, h / self.scale

    def image(self, name, x, y, w=None, h=None):
        iw, ih = self.size(name)
        w, h = w or iw, h or ih
        self.parts.append(f'<image href="{self.folder}/{name}.png" x="{x}" y="{y}" width="{w}" '
                          f'height="{h}" preserveAspectRatio="none"/>')

    def nine(self, name, corner, x, y, w, h):
        """The image over x, y, w x h with the borders l, t, r, b kept at their size."""
        iw, ih = self.size(name)
        l, t, r, b = corner
        cols = [(0, l, x, l), (l, iw - l - r, x + l, w - l - r), (iw - r, r, x + w - r, r)]
        rows = [(0, t, y, t), (t, ih - t - b, y + t, h - t - b), (ih - b, b, y + h - b, b)]
        for sx, sw, dx, dw in cols:
            for sy, sh, dy, dh in rows:
                if sw <= 0 or sh <= 0 or dw <= 0 or dh <= 0:
                    continue
                self.parts.append(
                    f'<svg x="{dx}" y="{dy}" width="{dw}" height="{dh}" '
                    f'viewBox="{sx} {sy} {sw} {sh}" preserveAspectRatio="none">'
                    f'<image href="{self.folder}/{name}.png" width="{iw}" height="{ih}"/></svg>')

    def text(self, x, y, s, size=12, colour="#7a7b7f", anchor="start", weight="normal",
             underline=False):
        deco = ' text-decoration="underline"' if underline else ""
        self.parts.append(f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" '
                          f'fill="{colour}" text-anchor="{anchor}" font-weight="{weight}"{deco}>'
                          f"{escape(s)}</text>")

    def rect(self, x, y, w, h, fill, stroke=None):
        line = f' stroke="{stroke}"' if stroke else ""
        self.parts.append(f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{fill}"{line}/>')

    def begin(self, x, y):
        self.parts.append(f'<g transform="translate({x} {y})">')

    def end(self):
        self.parts.append("</g>")


PILL = (20, 0, 20, 0)


def start_page(s, checked=False):
    s.rect(0, 0, 600, 400, "#ffffff")
    s.image("background", 0, 0, 600, 400)
    s.nine("btn_normal", PILL, 204, 265, 192, 40)
    s.text(300, 291, "立即安装", 15, "#ffffff", "middle", "bold")
    s.image("cbx_checked" if checked else "cbx_normal", 160, 331, 16, 16)
    s.text(181, 343, "安装即表示您同意", 14)
    s.text(299, 343, "《隐私政策》", 14, underline=True)
    s.text(390, 343, "和", 14)
    s.text(409, 343, "《用户许可协议》", 14, underline=True)
    s.text(510, 382, "更改", 12)
    s.image("down", 540, 375)
    s.image("minimal_normal", 536, 4)
    s.image("close_hot", 568, 4)


def settings_row(s):
    s.rect(0, 0, 600, 72, "#ffffff")
    s.text(70, 22, "安装路径：", 12)
    s.nine("folder_bk", (5, 5, 5, 5), 170, 4, 300, 32)
    s.text(178, 25, "/opt/Veltrin/Capturo", 12, "#333333")
    s.image("folder_hot", 442, 8)
    s.nine("dn_cb_hover", (2, 2, 24, 2), 160, 40, 320, 32)
    s.text(168, 61, "简体中文", 12, "#333333")


def download_page(s, percent=62):
    s.rect(0, 0, 600, 400, "#ffffff")
    s.image("background", 0, 0, 600, 400)
    s.image("banner", 0, 0, 600, 338)
    s.nine("progress_background", (3, 0, 3, 0), 58, 350, 484, 6)
    s.nine("progress_fore", (3, 0, 3, 0), 58, 350, round(484 * percent / 100), 6)
    s.text(58, 375, "正在下载，剩余约 2 分钟", 12)
    s.text(542, 375, f"{percent}%", 12, anchor="end")
    s.image("minimal_normal", 568, 4)
    s.nine("info_bg_warning", (16, 16, 16, 20), 78, 28, 484, 60)
    s.text(320, 62, "领取失败，请稍后重试", 14, "#df3636", "middle")
    s.image("tips_close_normal", 547, 29)


def success_page(s):
    s.rect(0, 0, 600, 400, "#ffffff")
    s.image("background", 0, 0, 600, 400)
    s.nine("btn_hot", PILL, 204, 265, 192, 40)
    s.text(305, 291, "立即体验", 15, "#ffffff", "middle", "bold")
    s.text(300, 342, "下载离线安装包 /root/Downloads/Capturo_Setup.exe", 14, anchor="middle")
    s.image("minimal_hot", 536, 4)
    s.image("close_normal", 568, 4)


def failed_page(s):
    s.rect(0, 0, 600, 400, "#f9f9f9")
    s.image("warn", 30, 30, 57, 57)
    s.text(105, 66, "安装失败", 18, "#464646", weight="bold")
    s.text(35, 100, "如果在安装时遇到问题，可尝试下列操作：", 12)
    tips = ("1.检查网络连接是否正常", "2.清理磁盘存储空间", "3.重新下载安装程序")
    for i, t in enumerate(tips):
        s.text(35, 125 + 20 * i, t, 12, "#464646")
    s.text(35, 195, "若无法解决，请留下联系方式并发送错误报告", 12)
    s.rect(35.5, 200.5, 530, 30, "#ffffff", "#d6dbe9")
    s.rect(35.5, 240.5, 530, 95, "#ffffff", "#d6dbe9")
    s.text(35, 372, "获取帮助", 12, "#5c5c5c", underline=True)
    s.nine("btn1_disabled", PILL, 465, 350, 100, 30)
    s.text(515, 370, "发送错误报告", 12, "#a7a6aa", "middle")
    s.image("minimal_normal", 536, 4)
    s.image("close_normal", 568, 4)


def message_box(s):
    s.rect(0, 0, 248, 248, "#ffffff", "#e3e5e9")
    s.text(10, 20, "Install Error", 14, "#3c3c3c")
    s.image("close_normal", 214, 5)
    s.image("warn", 94, 24)
    s.text(124, 110, "安装目录空间不足，", 12, "#3c3c3c", "middle")
    s.text(124, 128, "请更换安装位置后重试。", 12, "#3c3c3c", "middle")
    s.nine("btn1_normal", PILL, 24, 160, 200, 32)
    s.text(124, 181, "更改安装位置", 12, "#ffffff", "middle")
    s.nine("btn2_hot", PILL, 24, 200, 200, 32)
    s.text(124, 221, "取消", 12, "#000000", "middle")


def redeem_box(s):
    s.rect(0, 0, 288, 344, "#ffffff", "#e3e5e9")
    s.image("success", 116, 24)
    s.text(144, 106, "留下邮箱，免费领取会员", 14, "#000000", "middle")
    s.nine("folder_bk", (5, 0, 5, 0), 24, 128, 240, 32)
    s.text(32, 149, "Email Address", 12, "#c2c2c2")
    s.text(144, 195, "我们只会用它发送会员信息", 12, "#999999", "middle")
    s.nine("btn1_hot", PILL, 24, 248, 240, 32)
    s.text(144, 269, "继续安装", 12, "#ffffff", "middle")
    s.nine("btn2_normal", PILL, 24, 288, 240, 32)
    s.text(144, 309, "放弃", 12, "#000000", "middle")


def catalogue(s, names, width):
    """Every image at its own size on a light ground, labelled; returns the height used."""
    x, y, row_h = 0, 0, 0
    for name in names:
        w, h = s.size(name)
        cell_w = max(w, 110) + 16
        if x + cell_w > width:
            x, y, row_h = 0, y + row_h, 0
        s.rect(x + 4, y + 4, cell_w - 8, h + 30, "#f3f4f6")
        s.image(name, x + (cell_w - w) / 2, y + 10, w, h)
        s.text(x + cell_w / 2, y + h + 28, name, 10, "#555555", "middle")
        x += cell_w
        row_h = max(row_h, h + 38)
    return y + row_h


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    art_dir = pathlib.Path(argv[1]).resolve()
    out = pathlib.Path(argv[2]).resolve()
    scale = int(argv[argv.index("--scale") + 1]) if "--scale" in argv else 1
    s = Sheet(art_dir, scale)
    width = 1240
    s.rect(0, 0, width, 10000, "#e9ebef")
    pages = ((start_page, 20, 20), (download_page, 620, 20), (success_page, 20, 440),
             (failed_page, 620, 440))
    for draw, x, y in pages:
        s.begin(x, y)
        draw(s)
        s.end()
    s.begin(20, 860)
    start_page(s, checked=True)
    s.end()
    s.begin(20, 1260)
    settings_row(s)
    s.end()
    s.begin(660, 870)
    message_box(s)
    s.end()
    s.begin(930, 870)
    redeem_box(s)
    s.end()
    s.begin(660, 1230)
    x = 0
    for size in (256, 128, 64, 48, 32, 24, 16):
        # The icon exists at 1x only: each file is drawn at its own pixel size.
        s.parts.append(f'<image href="1x/icon_{size}.png" x="{x}" y="0" width="{size / scale}" '
                       f'height="{size / scale}"/>')
        x += size / scale + 12
    s.end()
    names = sorted(p.stem for p in (art_dir / "1x").glob("*.png")
                   if p.stem not in ("background", "banner") and not p.stem.startswith("icon_"))
    s.begin(20, 1510)
    used = catalogue(s, names, width - 40)
    s.end()
    height = 1510 + used + 20
    svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}">\n' + "\n".join(s.parts) + "\n</svg>\n")
    sheet = art_dir / f"contact_sheet_{scale}x.svg"
    sheet.write_text(svg, encoding="utf-8")
    subprocess.run(["rsvg-convert", "-z", str(scale), "-o", str(out), str(sheet)], check=True)
    print(out)


if __name__ == "__main__":
    main(sys.argv)
