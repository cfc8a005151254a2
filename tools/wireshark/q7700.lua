-- Wireshark dissector for Q7700-Ethernet frames: UDP datagrams of a 5-byte
-- header
--   0x10, message length modulo 256, 0x00, nonce, flag
-- and the message in Windows-1251. The flag is 0x10 with the nonce's top two
-- bits in bits 7-6. A frame is well-formed by the rules of q7700-peer: the
-- length byte matches the message, the reserved byte is 0, the flag matches
-- the nonce, and the nonce differs from the sender's previous frame's.
-- Control codes at the end of the message are its terminator codes (the
-- program appends 10 and 13 unless the operator sets others).
--
-- For one run:  wireshark -X lua_script:tools/wireshark/q7700.lua
--               tshark -X lua_script:tools/wireshark/q7700.lua -r capture.pcapng -V
-- For good:     copy it into the personal Lua plugins folder,
--               ~/.local/lib/wireshark/plugins/ (see Help > About > Folders).
-- The port (2048) is set under Preferences > Protocols > Q7700, or -o q7700.port:N.

local q7700 = Proto("q7700", "Q7700-Ethernet frame")

local HEADER_SIZE = 5
local MARKER = 0x10

local CONTROL_NAMES = {}
for code, name in ipairs({"SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF",
                          "VT", "FF", "CR", "SO", "SI", "DLE", "DC1", "DC2", "DC3", "DC4",
                          "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS",
                          "US"}) do
    CONTROL_NAMES[code] = name
end

-- Windows-1251 as UTF-8, byte by byte. (TvbRange:string() of Wireshark 4.0
-- cuts a converted text to its count of bytes, so it is not used here.)
local CP1251_80_BF = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
}
local UTF8_OF_BYTE = {}
for byte = 0, 255 do
    local code = byte < 0x80 and byte or byte < 0xC0 and CP1251_80_BF[byte - 0x7F] or
                     0x0410 + byte - 0xC0
    if code < 0x80 then
        UTF8_OF_BYTE[byte] = string.char(code)
    elseif code < 0x800 then
        UTF8_OF_BYTE[byte] = string.char(0xC0 + math.floor(code / 64), 0x80 + code % 64)
    else
        UTF8_OF_BYTE[byte] = string.char(0xE0 + math.floor(code / 4096),
                                         0x80 + math.floor(code / 64) % 64, 0x80 + code % 64)
    end
end

local function cp1251_text(range)
    local bytes, chars = range:bytes(), {}
    for i = 0, bytes:len() - 1 do chars[#chars + 1] = UTF8_OF_BYTE[bytes:get_index(i)] end
    return table.concat(chars)
end

local fields = q7700.fields
fields.marker = ProtoField.uint8("q7700.marker", "Marker", base.HEX)
fields.length = ProtoField.uint8("q7700.length", "Length (modulo 256)", base.DEC)
fields.reserved = ProtoField.uint8("q7700.reserved", "Reserved", base.HEX)
fields.nonce = ProtoField.uint8("q7700.nonce", "Nonce", base.DEC)
fields.flag = ProtoField.uint8("q7700.flag", "Flag", base.HEX)
fields.well_formed = ProtoField.bool("q7700.well_formed", "Well-formed")
fields.text = ProtoField.string("q7700.text", "Message")
fields.terminator = ProtoField.uint8("q7700.terminator", "Terminator code", base.DEC,
                                     CONTROL_NAMES)

local experts = {
    not_frame = ProtoExpert.new("q7700.not_frame", "Not a Q7700 frame",
                                expert.group.UNDECODED, expert.severity.NOTE),
    length = ProtoExpert.new("q7700.length.wrong", "Length byte does not match the message",
                             expert.group.PROTOCOL, expert.severity.WARN),
    reserved = ProtoExpert.new("q7700.reserved.nonzero", "Reserved byte is not 0",
                               expert.group.PROTOCOL, expert.severity.WARN),
    flag = ProtoExpert.new("q7700.flag.wrong", "Flag does not match the nonce",
                           expert.group.PROTOCOL, expert.severity.WARN),
    nonce = ProtoExpert.new("q7700.nonce.repeated", "Nonce repeats the sender's previous one",
                            expert.group.PROTOCOL, expert.severity.WARN),
}
q7700.experts = {experts.not_frame, experts.length, experts.reserved, experts.flag,
                 experts.nonce}

q7700.prefs.port = Pref.uint("UDP port", 2048, "The UDP port that carries Q7700 frames")

local data = Dissector.get("data")

-- The nonce of each sender's last frame with a right header, and whether
-- each packet's nonce repeated it: judged once, when the capture is first
-- read in order, so that a later look at a packet gives the same answer.
local last_nonce, repeated = {}, {}

function q7700.init()
    last_nonce, repeated = {}, {}
end

-- A sender is a host, as for q7700-peer: the program sends each frame from a
-- new port. A frame quoted in an ICMP error is no new frame.
local function nonce_repeated(pinfo, nonce, header_right)
    if pinfo.in_error_pkt then return false end
    local judged = repeated[pinfo.number]
    if judged == nil then
        local sender = tostring(pinfo.src)
        judged = last_nonce[sender] == nonce
        if header_right then last_nonce[sender] = nonce end
        repeated[pinfo.number] = judged
    end
    return judged
end

-- Not every datagram on the port is a frame: such a one is shown as data with
-- a note, as something this dissector does not decode, not as an error.
local function not_a_frame(tvb, pinfo, tree, reason)
    local item = tree:add(q7700, tvb(), "Q7700-Ethernet: not a frame, " .. reason)
    item:add_proto_expert_info(experts.not_frame, "Not a Q7700 frame: " .. reason)
    pinfo.cols.info:append(" (not a Q7700 frame: " .. reason .. ")")
    data:call(tvb, pinfo, tree)
    return tvb:len()
end

local function header_item(tree, field, range, right, problem, text)
    local item = tree:add(field, range)
    if not right then item:add_proto_expert_info(problem, text) end
    return item
end

function q7700.dissector(tvb, pinfo, tree)
    local size = tvb:len()
    if size < HEADER_SIZE then
        return not_a_frame(tvb, pinfo, tree, string.format("%d bytes, shorter than its header", size))
    end
    local marker = tvb(0, 1):uint()
    if marker ~= MARKER then
        return not_a_frame(tvb, pinfo, tree, string.format("first byte 0x%02x, not 0x10", marker))
    end

    local message_size = size - HEADER_SIZE
    local length, reserved = tvb(1, 1):uint(), tvb(2, 1):uint()
    local nonce, flag = tvb(3, 1):uint(), tvb(4, 1):uint()
    local expected_flag = MARKER + nonce - nonce % 64
    local length_right = length == message_size % 256
    local header_right = length_right and reserved == 0 and flag == expected_flag
    local fresh = not nonce_repeated(pinfo, nonce, header_right)

    local frame = tree:add(q7700, tvb())
    frame:add(fields.marker, tvb(0, 1))
    header_item(frame, fields.length, tvb(1, 1), length_right, experts.length,
                string.format("Length byte %d, but the message has %d bytes", length, message_size))
    header_item(frame, fields.reserved, tvb(2, 1), reserved == 0, experts.reserved,
                string.format("Reserved byte 0x%02x, not 0", reserved))
    header_item(frame, fields.nonce, tvb(3, 1), fresh, experts.nonce,
                string.format("Nonce %d repeats this sender's previous one", nonce))
    header_item(frame, fields.flag, tvb(4, 1), flag == expected_flag, experts.flag,
                string.format("Flag 0x%02x, but nonce %d gives 0x%02x", flag, nonce, expected_flag))
    local well_formed = header_right and fresh
    frame:add(fields.well_formed, well_formed):set_generated()

    -- The text runs up to the control codes at the message's end.
    local text_size = message_size
    while text_size > 0 and tvb(HEADER_SIZE + text_size - 1, 1):uint() < 32 do
        text_size = text_size - 1
    end
    local text = ""
    if text_size > 0 then
        local range = tvb(HEADER_SIZE, text_size)
        text = cp1251_text(range)
        frame:add(fields.text, range, text)
    else
        frame:add(fields.text, text):set_generated()
    end
    local codes = {}
    for offset = HEADER_SIZE + text_size, size - 1 do
        frame:add(fields.terminator, tvb(offset, 1))
        codes[#codes + 1] = tostring(tvb(offset, 1):uint())
    end

    local summary = string.format("nonce %d, \"%s\"", nonce, text)
    if #codes > 0 then summary = summary .. " + " .. table.concat(codes, " ") end
    if not well_formed then summary = summary .. " [not well-formed]" end
    frame:append_text(", " .. summary)
    pinfo.cols.protocol = "Q7700"
    pinfo.cols.info = "Q7700 frame, " .. summary
    return size
end

local registered_port

local function register_port()
    local udp = DissectorTable.get("udp.port")
    if registered_port then udp:remove(registered_port, q7700) end
    registered_port = q7700.prefs.port
    udp:add(registered_port, q7700)
end

function q7700.prefs_changed()
    if q7700.prefs.port ~= registered_port then register_port() end
end

register_port()
