// The functions of the codec libraries that the program calls, one list per
// library, in binding order. Add a name here before calling it. This file
// includes nothing, so that it can also describe the libraries elsewhere.
#pragma once

#define VANTREL_AVCODEC_FUNCTIONS(X)                                                    \
  X(avcodec_version) X(avcodec_alloc_context3) X(avcodec_free_context)                  \
  X(avcodec_parameters_to_context) X(avcodec_parameters_from_context)                   \
  X(avcodec_parameters_copy) X(avcodec_find_encoder) X(avcodec_find_decoder)            \
  X(avcodec_find_encoder_by_name) X(avcodec_find_decoder_by_name) X(avcodec_open2)      \
  X(avcodec_close) X(avcodec_send_packet) X(avcodec_receive_frame)                      \
  X(avcodec_send_frame) X(avcodec_receive_packet) X(avcodec_decode_subtitle2)           \
  X(avcodec_encode_subtitle) X(avsubtitle_free) X(avcodec_get_name)                     \
  X(av_packet_alloc) X(av_packet_free) X(av_packet_unref) X(av_packet_ref)              \
  X(av_packet_rescale_ts) X(av_new_packet) X(av_bsf_get_by_name) X(av_bsf_init)         \
  X(av_bsf_send_packet) X(av_bsf_receive_packet) X(av_bsf_free)                         \
  X(av_bsf_list_parse_str) X(avcodec_is_open) X(av_packet_get_side_data)                \
  X(av_codec_iterate) X(av_codec_is_encoder)

#define VANTREL_AVFILTER_FUNCTIONS(X)                                                   \
  X(avfilter_version) X(avfilter_graph_alloc) X(avfilter_graph_free)                    \
  X(avfilter_graph_create_filter) X(avfilter_get_by_name) X(avfilter_link)              \
  X(avfilter_graph_config) X(avfilter_graph_parse_ptr) X(avfilter_inout_alloc)          \
  X(avfilter_inout_free) X(av_buffersrc_add_frame_flags) X(av_buffersink_get_frame)     \
  X(av_buffersink_get_frame_flags) X(avfilter_graph_parse2) X(av_buffersink_get_w)     \
  X(av_buffersink_get_h) X(av_buffersink_get_time_base)

#define VANTREL_AVFORMAT_FUNCTIONS(X)                                                   \
  X(avformat_version) X(avformat_alloc_context) X(avformat_free_context)                \
  X(avformat_alloc_output_context2) X(avformat_open_input) X(avformat_close_input)      \
  X(avformat_find_stream_info) X(avformat_new_stream) X(avformat_write_header)          \
  X(av_write_trailer) X(av_interleaved_write_frame) X(av_read_frame)                    \
  X(av_find_input_format) X(av_guess_format) X(av_guess_codec) X(av_dump_format)        \
  X(av_sdp_create) X(av_filename_number_test) X(av_seek_frame) X(avio_open)             \
  X(avio_open2) X(avio_closep) X(avio_seek) X(avio_size) X(avio_find_protocol_name)     \
  X(av_pkt_dump_log2) X(av_codec_get_id) X(av_codec_get_tag)                            \
  X(av_probe_input_format2) X(av_muxer_iterate)

#define VANTREL_AVUTIL_FUNCTIONS(X)                                                     \
  X(avutil_version) X(av_log_set_callback) X(av_log_get_level) X(av_log_set_level)      \
  X(av_log) X(av_log_default_callback) X(av_malloc) X(av_mallocz) X(av_free)          \
  X(av_freep) X(av_strdup) X(av_reduce) X(av_rescale_q) X(av_rescale_q_rnd) X(av_gettime) X(av_parse_time)              \
  X(av_parse_video_rate) X(av_parse_video_size) X(av_opt_set) X(av_opt_set_int)         \
  X(av_opt_get) X(av_opt_get_int) X(av_opt_find) X(av_dict_set) X(av_dict_get)          \
  X(av_dict_free) X(av_frame_alloc) X(av_frame_free) X(av_frame_unref)                  \
  X(av_frame_ref) X(av_frame_get_buffer) X(av_frame_make_writable)                      \
  X(av_frame_copy_props) X(av_get_pix_fmt) X(av_get_pix_fmt_name)                       \
  X(av_pix_fmt_desc_get) X(av_pix_fmt_desc_next) X(av_get_bits_per_pixel)               \
  X(av_get_sample_fmt) X(av_get_sample_fmt_name) X(av_get_bytes_per_sample)             \
  X(av_sample_fmt_is_planar) X(av_samples_set_silence) X(av_audio_fifo_alloc)           \
  X(av_audio_fifo_free) X(av_audio_fifo_write) X(av_audio_fifo_read)                    \
  X(av_audio_fifo_size) X(av_strerror) X(av_channel_layout_default)                     \
  X(av_channel_layout_uninit) X(av_channel_layout_copy) X(av_image_copy)                \
  X(av_get_picture_type_char) X(av_memdup) X(av_frame_move_ref) X(av_frame_copy)       \
  X(av_opt_set_bin)

#define VANTREL_SWSCALE_FUNCTIONS(X)                                                    \
  X(swscale_version) X(sws_getContext) X(sws_freeContext) X(sws_scale)                  \
  X(sws_getCachedContext)

#define VANTREL_SWRESAMPLE_FUNCTIONS(X)                                                 \
  X(swresample_version) X(swr_alloc_set_opts2) X(swr_init) X(swr_free) X(swr_convert)   \
  X(swr_set_compensation) X(swr_get_out_samples) X(swr_get_delay)

// The C-runtime helper set: standard C semantics, taken from the platform's C
// library. Streams made by lav::fopen are only used with the functions here.
#define VANTREL_CRT_FUNCTIONS(X)                                                        \
  X(snprintf) X(vsnprintf) X(fprintf) X(fopen) X(fclose) X(fread) X(fseek) X(ftell)    \
  X(strtok_r) X(strtol)
