#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/: a few well-formed inputs per target in
the input format its source file describes, from which the fuzzer mutates. Run it again after
changing an input format; the files are small and kept in the repository."""

import pathlib
import shutil
import struct

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"

WITH_DATA = {4, 5, 6, 129, 130, 131, 255}


def crc16(data: bytes) -> int:
    reg = 0xFFFF
    for byte in data:
        reg ^= byte << 8
        for _ in range(8):
            reg = ((reg << 1) ^ 0x1021) if reg & 0x8000 else reg << 1
            reg &= 0xFFFF
    return reg


def frame(code: int, address: int, length: int, data: bytes = b"", crc=None) -> bytes:
    body = bytes([0x02, code, address & 0xFF, address >> 8, length]) + data + b"\x03"
    value = crc16(body) if crc is None else crc
    return body + struct.pack(">H", value)


FRAMES = {
    "read_ram_request": frame(3, 0x0020, 2),
    "read_ram_confirm": frame(131, 0x0020, 2, b"\x12\x34"),
    "read_eeprom_request": frame(1, 0x0025, 1),
    "status_without_data": frame(255, 0, 0),
    "marks_inside_data": frame(6, 0x0025, 4, b"\x02\x03\x02\x03"),
    "high_address": frame(4, 0x1500, 2, b"\xAA\x55"),
    "longest": frame(130, 0x0100, 255, bytes(range(255))),
    "write_confirm": frame(133, 0x0FFD, 3),
    "wrong_checksum": frame(131, 0x0020, 2, b"\x12\x34", crc=0),
}


def write(target: str, name: str, data: bytes) -> None:
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def link_message() -> None:
    for name, data in FRAMES.items():
        write("link_message", name, data)
    # Field values for build: code, sign bits, address, length, then data.
    write("link_message", "build_fitted", bytes([131, 0x41, 0x20, 0x00, 3, 1, 2, 3]))
    write("link_message", "build_out_of_range", bytes([4, 0x06, 0xFF, 0xFF, 0xFF]))


def frame_assembler() -> None:
    f = FRAMES
    write("frame_assembler", "one_frame", f["read_ram_confirm"])
    write("frame_assembler", "back_to_back", f["read_ram_request"] + f["marks_inside_data"])
    write("frame_assembler", "noise_first", b"\x00\x03\xFF\x02\x07" + f["read_eeprom_request"])
    write("frame_assembler", "missing_end_mark",
          f["read_ram_request"][:5] + b"\x55\x03\x01\x02" + f["status_without_data"])
    write("frame_assembler", "wrong_then_right", f["wrong_checksum"] + f["read_ram_confirm"])
    write("frame_assembler", "longest", f["longest"] + f["write_confirm"])


def chunk(control: int, data: bytes) -> bytes:
    assert len(data) < 256
    return bytes([control, len(data)]) + data


def frame_channel() -> None:
    f = FRAMES
    write("frame_channel", "frames", chunk(0, f["read_ram_confirm"] + f["write_confirm"]))
    write("frame_channel", "login_then_frames",
          chunk(1, b"+OK") + chunk(0, f["read_ram_confirm"]))
    write("frame_channel", "modem_dialogue",
          chunk(1, b"ATZ\r\r\nOK\r\n") + chunk(0x0D, b"ATDT123\r\r\nCONNECT 9600\r\n")
          + chunk(0x02, f["status_without_data"] + f["wrong_checksum"]))
    write("frame_channel", "long_line", chunk(1, b"x" * 250) + chunk(1, b"\n"))
    write("frame_channel", "split_frame",
          chunk(0, f["marks_inside_data"][:6]) + chunk(1, b"\r\n") + chunk(0, f["marks_inside_data"][6:]))


def ini_fields(text: bytes, section: bytes, key: bytes, value: bytes, other_section: bytes,
               other_key: bytes) -> bytes:
    return b"\0".join([text, section, key, value, other_section, other_key])


def ini_document() -> None:
    gateway = (HERE.parent / "contrib" / "qvx_gateway.ini").read_bytes()
    write("ini_document", "gateway_file",
          ini_fields(gateway, b"Globals", b"Ports", b"4", b"Port1", b"COMPort"))
    client = (b"[Globals]\r\nTCP_IP_ADDRESS=127.0.0.1\r\nBasePort=5100\r\nPort=5101\r\n"
              b"UseCrcCheck=0\r\nConnectiontype=TCPIP\r\n\r\n[Modem]\r\nInitstring=ATZ\r\n"
              b"Dialstring=ATDT\r\nCallnumber=\r\n")
    write("ini_document", "client_file",
          ini_fields(client, b"Modem", b"Callnumber", b"0711 123456", b"globals", b"port"))
    write("ini_document", "new_section",
          ini_fields(b"[A]\na=1", b"Parameters\\Gateway1", b"BaudRate", b"9600", b"a", b"A"))
    write("ini_document", "byte_order_mark",
          ini_fields(b"\xEF\xBB\xBF[Globals]\nPorts=2\n", b" globals ", b" Ports ", b"3",
                     b"Globals", b"Ports"))
    write("ini_document", "quotes_and_comments",
          ini_fields(b"; c\n[S]\r\nk = \"  x \"\r\n# d=1\r\n[broken\r\nj='y'\r\n[s]\r\nk=2\r\n",
                     b"S", b"j", b"'quoted'", b"S", b"k"))
    write("ini_document", "number", ini_fields(b"[P]\nSecured=1\n", b"P", b"Secured",
                                                b"-4294967297abc", b"P", b"Password"))
    write("ini_document", "text_only", b"[Globals]\nPorts=2\nIPAddress = 10.0.0.1 \n")


def request_records(*records: bytes) -> bytes:
    return b"".join(records)


def record(code: int, address: int, length: int, step: int = 1, data: bytes = b"",
           noise: bytes = b"") -> bytes:
    return (bytes([code, address & 0xFF, address >> 8, length, step, len(noise)]) + data + noise)


def request_handler() -> None:
    f = FRAMES
    # Raw chunks: options, two shares, then [count][step][bytes].
    raw = frame(1, 22, 3) + frame(3, 32, 5) + frame(6, 37, 1, b"\x40")
    write("request_handler", "raw_requests", bytes([0, 0, 0, len(raw), 1]) + raw)
    write("request_handler", "raw_noise",
          bytes([0, 0, 0]) + bytes([13, 2]) + b"\x02\x01\x00" + f["read_ram_confirm"]
          + bytes([len(f["status_without_data"]), 0x85]) + f["status_without_data"])
    records = request_records(
        record(1, 22, 3), record(2, 0, 11), record(3, 32, 6),
        record(4, 1, 10, data=bytes(range(10))), record(5, 0x0FFD, 3, data=b"\x01\x02\x03"),
        record(6, 37, 1, data=b"\x40"), record(3, 37, 1, step=127), record(3, 37, 1, step=127),
        record(1, 0x1FFF, 2), record(4, 99, 1, data=b"\xFF"), record(131, 0x20, 1, data=b"\x00"),
        record(3, 0, 255, noise=b"\x02\x03"))
    write("request_handler", "records", bytes([0x40, 0, 0]) + records)
    write("request_handler", "records_with_faults", bytes([0x7E, 64, 64]) + records)
    write("request_handler", "silent", bytes([0x41, 0, 0]) + records)


def session_chunk(step: int, data: bytes) -> bytes:
    assert len(data) < 256
    return bytes([len(data), step]) + data


def sim_session() -> None:
    f = FRAMES
    requests = frame(1, 22, 3) + frame(3, 32, 6)
    write("sim_session", "direct", bytes([0x00]) + session_chunk(1, requests)
          + session_chunk(5, frame(6, 37, 1, b"\x40")) + session_chunk(50, b""))
    dialogue = (session_chunk(1, b"ATZ\r") + session_chunk(1, b"noise ATDT0711\r\n")
                + session_chunk(20, b"") + session_chunk(1, requests)
                + session_chunk(1, b"ATH\r") + session_chunk(1, b"AT\r"))
    for behaviour in range(4):
        write("sim_session", f"modem_{behaviour}", bytes([0x01 | behaviour << 1]) + dialogue)
    write("sim_session", "status_reports", bytes([0x08]) + session_chunk(6, b"")
          + session_chunk(3, f["read_ram_request"]) + session_chunk(9, b""))
    write("sim_session", "closed_mid_frame", bytes([0x19]) + session_chunk(2, requests[:5])
          + session_chunk(3, requests) + session_chunk(1, requests[3:]))


def ctl_options() -> None:
    seeds = {
        "status": [b"--port", b"5101", b"status"],
        "read_eeprom": [b"--host", b"10.0.0.2", b"--port", b"0x13ED", b"read-eeprom", b"0x20",
                        b"16"],
        "write_ram": [b"write-ram", b"--port", b"1", b"--crc-check", b"37", b"40", b"0a"],
        "record": [b"record", b"--start", b"--csv", b"out.csv", b"--port", b"65535",
                   b"--timeout", b"600000", b"--retries", b"0", b"--block-length", b"255"],
        "negative": [b"input-record", b"--port", b"7", b"-1", b"-0x10", b"3", b"4", b"5"],
        "help": [b"-h"],
    }
    for name, args in seeds.items():
        write("ctl_options", name, b"\0".join(args))


def main() -> None:
    if CORPUS.exists():
        shutil.rmtree(CORPUS)
    link_message()
    frame_assembler()
    frame_channel()
    ini_document()
    request_handler()
    sim_session()
    ctl_options()


if __name__ == "__main__":
    main()
